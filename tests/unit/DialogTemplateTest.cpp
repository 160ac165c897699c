// Decoding of dialog templates, extended and classic, from hand-made bytes, and the
// decoder's refusal of damaged ones.
#include "tests/sim/DialogTemplate.h"
#include "platform/Resources.h"
#include "resources/ResourceIds.h"
#include "tests/sim/EmbeddedResources.h"
#include "tests/unit/ResBytes.h"

#include <gtest/gtest.h>

#include <random>

namespace vexo {
namespace {

using test::Bytes;

constexpr std::uint32_t kSetFont = 0x40;

// A DLGTEMPLATEEX with a font and two controls: a button by atom with creation data, and a
// list view by class name whose title is an ordinal.
Bytes extendedTemplate() {
    Bytes b;
    b.u16(1).u16(0xFFFF).u32(77).u32(0x40000).u32(0x80C800C0 | kSetFont).u16(2);
    b.u16(10).u16(20).u16(300).u16(200);
    b.u16(0).u16(0).wz(u"Title \u5173");
    b.u16(9).u16(700).u8(1).u8(134).wz(u"\u5b8b\u4f53");
    b.align(4);
    b.u32(5).u32(0x4).u32(0x50010000).u16(1).u16(2).u16(3).u16(4).u32(0xFFFFFFFF);
    b.ordinal(0x0080).wz(u"&OK").u16(3).u8(0xAA).u8(0xBB).u8(0xCC);
    b.align(4);
    b.u32(0).u32(0).u32(0x50810005).u16(0xFFF6).u16(7).u16(8).u16(9).u32(1021);
    b.wz(u"SYSLISTVIEW32").ordinal(128).u16(0);
    return b;
}

// A classic DLGTEMPLATE with a font, a menu and a class by name, and two controls.
Bytes classicTemplate() {
    Bytes b;
    b.u32(0x80C80000 | kSetFont).u32(0x8).u16(2).u16(1).u16(2).u16(3).u16(4);
    b.ordinal(5).wz(u"MyClass").wz(u"Classic");
    b.u16(8).wz(u"MS Shell Dlg");
    b.align(4);
    b.u32(0x50000000).u32(0).u16(5).u16(6).u16(7).u16(8).u16(0xFFFF);
    b.ordinal(0x0082).wz(u"label").u16(0);
    b.align(4);
    b.u32(0x50010003).u32(0).u16(1).u16(1).u16(1).u16(1).u16(1234);
    b.wz(u"edit").wz(u"").u16(0);
    return b;
}

TEST(DialogTemplate, ExtendedTemplateFields) {
    const auto d = parseDialogTemplate(extendedTemplate());
    ASSERT_TRUE(d);
    EXPECT_TRUE(d->extended);
    EXPECT_EQ(d->helpId, 77u);
    EXPECT_EQ(d->exStyle, 0x40000u);
    EXPECT_EQ(d->style, 0x80C800C0u);
    EXPECT_EQ(d->x, 10);
    EXPECT_EQ(d->y, 20);
    EXPECT_EQ(d->cx, 300);
    EXPECT_EQ(d->cy, 200);
    EXPECT_FALSE(d->menu.id);
    EXPECT_FALSE(d->windowClass.id);
    EXPECT_EQ(d->title, "Title 关");
    EXPECT_EQ(d->pointSize, 9);
    EXPECT_EQ(d->weight, 700);
    EXPECT_TRUE(d->italic);
    EXPECT_EQ(d->charset, 134);
    EXPECT_EQ(d->typeface, "宋体");
    ASSERT_EQ(d->controls.size(), 2u);

    const ControlTemplate& ok = d->controls[0];
    EXPECT_EQ(ok.helpId, 5u);
    EXPECT_EQ(ok.exStyle, 0x4u);
    EXPECT_EQ(ok.style, 0x50010000u);
    EXPECT_EQ(ok.id, -1);
    EXPECT_EQ(ok.kind, ControlClass::Button);
    EXPECT_EQ(ok.className, "Button");
    EXPECT_EQ(ok.title.name, "&OK");
    EXPECT_EQ(ok.creationData, (std::vector<std::uint8_t>{0xAA, 0xBB, 0xCC}));

    const ControlTemplate& list = d->controls[1];
    EXPECT_EQ(list.x, -10);
    EXPECT_EQ(list.id, 1021);
    EXPECT_EQ(list.kind, ControlClass::Other);
    EXPECT_TRUE(isWindowClass(list, "SysListView32"));
    EXPECT_FALSE(isWindowClass(list, "SysListView"));
    EXPECT_EQ(list.title.id, std::optional<std::uint16_t>(128));
    EXPECT_TRUE(list.creationData.empty());
}

TEST(DialogTemplate, ClassicTemplateFields) {
    const auto d = parseDialogTemplate(classicTemplate());
    ASSERT_TRUE(d);
    EXPECT_FALSE(d->extended);
    EXPECT_EQ(d->exStyle, 0x8u);
    EXPECT_EQ(d->menu.id, std::optional<std::uint16_t>(5));
    EXPECT_EQ(d->windowClass.name, "MyClass");
    EXPECT_EQ(d->title, "Classic");
    EXPECT_EQ(d->pointSize, 8);
    EXPECT_EQ(d->typeface, "MS Shell Dlg");
    ASSERT_EQ(d->controls.size(), 2u);
    EXPECT_EQ(d->controls[0].id, -1) << "0xFFFF is IDC_STATIC";
    EXPECT_EQ(d->controls[0].kind, ControlClass::Static);
    EXPECT_EQ(d->controls[0].title.name, "label");
    EXPECT_EQ(d->controls[1].id, 1234);
    EXPECT_EQ(d->controls[1].kind, ControlClass::Edit) << "predefined class given by name";
    EXPECT_EQ(d->controls[1].className, "edit");
    EXPECT_TRUE(isWindowClass(d->controls[1], "Edit"));
}

TEST(DialogTemplate, NoFontWithoutSetFont) {
    Bytes b;
    b.u16(1).u16(0xFFFF).u32(0).u32(0).u32(0x80C80000).u16(0);
    b.u16(0).u16(0).u16(50).u16(40).u16(0).u16(0).wz(u"");
    const auto d = parseDialogTemplate(b);
    ASSERT_TRUE(d);
    EXPECT_EQ(d->pointSize, 0);
    EXPECT_EQ(d->typeface, "");
    EXPECT_TRUE(d->controls.empty());
}

// Every template cut short anywhere is refused, including the real ones.
TEST(DialogTemplate, EveryTruncationIsRefused) {
    std::vector<std::pair<std::string, std::vector<std::uint8_t>>> templates = {
        {"extended", extendedTemplate().get()},
        {"classic", classicTemplate().get()},
    };
    for (int id :
         {IDD_ABOUT, IDD_PRINTER_SETTINGS, IDD_OS_SELECT, IDD_CREATE_PORT, IDD_PORT_SELECT}) {
        auto bytes = embeddedResources().find(rt::Dialog, static_cast<std::uint16_t>(id));
        ASSERT_TRUE(bytes);
        templates.emplace_back("dialog " + std::to_string(id),
                               std::vector<std::uint8_t>(bytes->begin(), bytes->end()));
    }
    for (const auto& [name, bytes] : templates) {
        SCOPED_TRACE(name);
        ASSERT_TRUE(parseDialogTemplate(bytes));
        for (std::size_t n = 0; n < bytes.size(); ++n) {
            // Copied so that the sanitizer sees a read past the shorter buffer.
            const std::vector<std::uint8_t> cut(bytes.begin(), bytes.begin() + n);
            EXPECT_FALSE(parseDialogTemplate(cut)) << "cut to " << n << " bytes";
        }
    }
}

TEST(DialogTemplate, DamagedTemplates) {
    auto patched = [](Bytes b, std::size_t offset, std::uint16_t value) {
        std::vector<std::uint8_t> v = b.get();
        v[offset] = static_cast<std::uint8_t>(value);
        v[offset + 1] = static_cast<std::uint8_t>(value >> 8);
        return v;
    };
    Bytes titleRunsOut;
    titleRunsOut.u16(1).u16(0xFFFF).u32(0).u32(0).u32(0).u16(0);
    titleRunsOut.u16(0).u16(0).u16(1).u16(1).u16(0).u16(0).u16('a').u16('b');
    Bytes oddEnd = titleRunsOut;
    oddEnd.u8(0);
    const struct {
        const char* name;
        std::vector<std::uint8_t> bytes;
    } cases[] = {
        {"empty", {}},
        {"one byte", {1}},
        {"more controls than present", patched(extendedTemplate(), 16, 3)},
        {"huge control count", patched(extendedTemplate(), 16, 0xFFFF)},
        {"creation data past the end", patched(extendedTemplate(), 96, 0x7FFF)},
        {"title without terminator", titleRunsOut.get()},
        {"title ends in half a unit", oddEnd.get()},
        {"classic: more controls than present", patched(classicTemplate(), 8, 9)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_FALSE(parseDialogTemplate(c.bytes));
    }
}

// Random damage to the real templates: never a read outside the bytes (checked by the
// sanitizer build), and whatever is decoded has no more controls than bytes allow.
TEST(DialogTemplate, SurvivesRandomDamage) {
    std::mt19937 random(4711);
    for (int id : {IDD_PRINTER_SETTINGS, IDD_PORT_SELECT}) {
        auto original = embeddedResources().find(rt::Dialog, static_cast<std::uint16_t>(id));
        ASSERT_TRUE(original);
        for (int round = 0; round < 500; ++round) {
            std::vector<std::uint8_t> bytes(original->begin(), original->end());
            const int changes = 1 + static_cast<int>(random() % 6);
            for (int i = 0; i < changes; ++i) {
                bytes[random() % bytes.size()] = static_cast<std::uint8_t>(random());
            }
            if (auto d = parseDialogTemplate(bytes)) {
                EXPECT_LE(d->controls.size() * 24, bytes.size());
            }
        }
    }
}

} // namespace
} // namespace vexo
