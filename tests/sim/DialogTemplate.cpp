#include "tests/sim/DialogTemplate.h"

#include "platform/ByteReader.h"
#include "tests/sim/Utf.h"

#include <array>
#include <cctype>

namespace vexo {

namespace {

constexpr std::uint32_t kDsSetFont = 0x40; // also part of DS_SHELLFONT

struct PredefinedClass {
    std::uint16_t atom;
    ControlClass kind;
    const char* name;
};

constexpr std::array<PredefinedClass, 6> kPredefinedClasses{{
    {0x0080, ControlClass::Button, "Button"},
    {0x0081, ControlClass::Edit, "Edit"},
    {0x0082, ControlClass::Static, "Static"},
    {0x0083, ControlClass::ListBox, "ListBox"},
    {0x0084, ControlClass::ScrollBar, "ScrollBar"},
    {0x0085, ControlClass::ComboBox, "ComboBox"},
}};

bool readString(ByteReader& reader, std::string& out) {
    std::u16string text;
    if (!reader.utf16z(text)) {
        return false;
    }
    out = utf16ToUtf8(text);
    return true;
}

void classify(ControlTemplate& control, const NameOrId& windowClass) {
    for (const PredefinedClass& predefined : kPredefinedClasses) {
        if (windowClass.id ? *windowClass.id == predefined.atom
                           : equalsIgnoringCase(windowClass.name, predefined.name)) {
            control.kind = predefined.kind;
            control.className = windowClass.id ? predefined.name : windowClass.name;
            return;
        }
    }
    control.kind = ControlClass::Other;
    control.className = windowClass.id ? "#" + std::to_string(*windowClass.id) : windowClass.name;
}

// One control; the reader stands at its DWORD-aligned start.
bool readControl(ByteReader& reader, bool extended, ControlTemplate& control) {
    if (extended) {
        if (!reader.u32(control.helpId) || !reader.u32(control.exStyle) ||
            !reader.u32(control.style)) {
            return false;
        }
    } else if (!reader.u32(control.style) || !reader.u32(control.exStyle)) {
        return false;
    }
    if (!reader.i16(control.x) || !reader.i16(control.y) || !reader.i16(control.cx) ||
        !reader.i16(control.cy)) {
        return false;
    }
    if (extended) {
        std::uint32_t id = 0;
        if (!reader.u32(id)) {
            return false;
        }
        control.id = static_cast<std::int32_t>(id);
    } else {
        std::int16_t id = 0; // 0xFFFF is IDC_STATIC, -1
        if (!reader.i16(id)) {
            return false;
        }
        control.id = id;
    }
    NameOrId windowClass;
    std::uint16_t extraCount = 0;
    std::span<const std::uint8_t> extra;
    if (!readNameOrId(reader, windowClass) || !readNameOrId(reader, control.title) ||
        !reader.u16(extraCount) || !reader.bytes(extraCount, extra)) {
        return false;
    }
    classify(control, windowClass);
    control.creationData.assign(extra.begin(), extra.end());
    return true;
}

} // namespace

std::optional<DialogTemplateData> parseDialogTemplate(std::span<const std::uint8_t> bytes) {
    ByteReader reader(bytes);
    DialogTemplateData dialog;
    std::uint16_t version = 0;
    std::uint16_t signature = 0;
    {
        ByteReader probe(bytes);
        dialog.extended =
            probe.u16(version) && probe.u16(signature) && version == 1 && signature == 0xFFFF;
    }
    std::uint16_t count = 0;
    if (dialog.extended) {
        if (!reader.skip(4) || !reader.u32(dialog.helpId) || !reader.u32(dialog.exStyle) ||
            !reader.u32(dialog.style)) {
            return std::nullopt;
        }
    } else if (!reader.u32(dialog.style) || !reader.u32(dialog.exStyle)) {
        return std::nullopt;
    }
    if (!reader.u16(count) || !reader.i16(dialog.x) || !reader.i16(dialog.y) ||
        !reader.i16(dialog.cx) || !reader.i16(dialog.cy) || !readNameOrId(reader, dialog.menu) ||
        !readNameOrId(reader, dialog.windowClass) || !readString(reader, dialog.title)) {
        return std::nullopt;
    }
    if ((dialog.style & kDsSetFont) != 0) {
        if (!reader.u16(dialog.pointSize)) {
            return std::nullopt;
        }
        if (dialog.extended) {
            std::uint8_t italic = 0;
            if (!reader.u16(dialog.weight) || !reader.u8(italic) || !reader.u8(dialog.charset)) {
                return std::nullopt;
            }
            dialog.italic = italic != 0;
        }
        if (!readString(reader, dialog.typeface)) {
            return std::nullopt;
        }
    }
    dialog.controls.reserve(count);
    for (std::uint16_t i = 0; i < count; ++i) {
        ControlTemplate control;
        if (!reader.align(4) || !readControl(reader, dialog.extended, control)) {
            return std::nullopt;
        }
        dialog.controls.push_back(std::move(control));
    }
    return dialog;
}

bool isWindowClass(const ControlTemplate& control, std::string_view name) {
    return equalsIgnoringCase(control.className, name);
}

// A name-or-ordinal field: 0x0000 for none, 0xFFFF and an ordinal, or a NUL-terminated
// UTF-16 string.
bool readNameOrId(ByteReader& reader, NameOrId& out) {
    ByteReader probe = reader;
    std::uint16_t first = 0;
    if (!probe.u16(first)) {
        return false;
    }
    if (first == 0xFFFF) {
        std::uint16_t ordinal = 0;
        if (!probe.u16(ordinal)) {
            return false;
        }
        out.id = ordinal;
        reader = probe;
        return true;
    }
    std::u16string name;
    if (!reader.utf16z(name)) {
        return false;
    }
    out.name = utf16ToUtf8(name);
    return true;
}

} // namespace vexo
