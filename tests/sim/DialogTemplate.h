// A decoded DLGTEMPLATEEX: the dialog and its controls exactly as the compiled resource
// holds them. The headless backend builds its windows from it and the layout tests read it.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vexo {

// Window class of a control: one of the predefined atoms, or a registered class name.
enum class ControlClass { Button, Edit, Static, ListBox, ScrollBar, ComboBox, Other };

// A name or ordinal field of a template (class, title, menu).
struct NameOrId {
    std::optional<std::uint16_t> id; // set for an ordinal
    std::string name;                // UTF-8, for a name
};

struct ControlTemplate {
    std::uint32_t helpId = 0;
    std::uint32_t exStyle = 0;
    std::uint32_t style = 0;
    std::int16_t x = 0, y = 0, cx = 0, cy = 0;
    std::int32_t id = 0; // -1 (0xFFFF as a WORD in DIALOG templates) for IDC_STATIC
    ControlClass kind = ControlClass::Other;
    std::string className; // "Button", "Edit", ..., or the registered name ("SysListView32")
    NameOrId title;
    std::vector<std::uint8_t> creationData;
};

struct DialogTemplateData {
    bool extended = false; // DLGTEMPLATEEX
    std::uint32_t helpId = 0;
    std::uint32_t exStyle = 0;
    std::uint32_t style = 0;
    std::int16_t x = 0, y = 0, cx = 0, cy = 0;
    NameOrId menu;
    NameOrId windowClass;
    std::string title; // UTF-8
    // DS_SETFONT / DS_SHELLFONT only
    std::uint16_t pointSize = 0;
    std::uint16_t weight = 0;
    bool italic = false;
    std::uint8_t charset = 0;
    std::string typeface; // UTF-8
    std::vector<ControlTemplate> controls;
};

// Decodes a DLGTEMPLATEEX or a classic DLGTEMPLATE. nullopt when the bytes are malformed
// (truncated, or a string without its terminator).
std::optional<DialogTemplateData> parseDialogTemplate(std::span<const std::uint8_t> bytes);

// True when `control` is of window class `name`. Windows compares class names without regard
// to case, and windres writes registered class names in capitals ("SYSLISTVIEW32").
bool isWindowClass(const ControlTemplate& control, std::string_view name);

class ByteReader;
// Reads a name-or-ordinal field (templates and the .res index share the encoding): 0x0000
// for none, 0xFFFF and an ordinal, or a NUL-terminated UTF-16 string.
bool readNameOrId(ByteReader& reader, NameOrId& out);

} // namespace vexo
