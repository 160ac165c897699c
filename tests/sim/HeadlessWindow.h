// The headless backend's window record, shared by its dialog manager, its control model
// and its scripted user.
#pragma once

#include "tests/sim/HeadlessUi.h"

#include <string>
#include <vector>

namespace vexo::sim {

struct HeadlessUi::Window {
    WindowId id = 0;
    WindowId parent = 0;
    int ctrlId = 0;
    ControlClass kind = ControlClass::Other;
    std::uint32_t style = 0;
    std::string text;
    bool visible = true;
    bool enabled = true;
    int cx = 0, cy = 0; // dialog units
    // buttons
    int check = 0;
    // combo boxes
    std::vector<std::string> items;
    int selection = -1;
    // list views
    struct Column {
        std::string heading;
        int width = 0;
    };
    struct Row {
        std::vector<std::string> cells;
        std::uint32_t state = 0;
    };
    std::vector<Column> columns;
    std::vector<Row> rows;
    std::uint32_t listExStyle = 0;
    // progress bars
    int low = 0, high = 100, pos = 0;
    // dialogs
    DialogEvents* events = nullptr;
    int templateId = 0;
    std::vector<WindowId> controls;
    bool ended = false;
    std::intptr_t result = 0;
    std::vector<SystemMenuItem> sysMenu;
    IconId bigIcon = 0, smallIcon = 0;
    bool iconic = false;
    WindowId focus = 0;
    WindowId owner = 0;
    std::vector<IconDraw> draws;

    [[nodiscard]] std::uint32_t buttonType() const { return style & bs::TypeMask; }
    [[nodiscard]] bool isPushButton() const {
        return kind == ControlClass::Button &&
               (buttonType() == bs::PushButton || buttonType() == bs::DefPushButton);
    }
};

} // namespace vexo::sim
