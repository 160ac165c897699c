// The window services the dialog framework rests on. Two implementations: the Win32 one
// over user32/comctl32, and the headless one that builds its controls from the compiled
// dialog templates for tests. Texts are UTF-8.
#pragma once

#include "platform/Win32Constants.h"

#include <cstdint>
#include <functional>
#include <string>

namespace vexo {

// A window or control: the platform's handle, or the headless backend's id. 0 is none.
using WindowId = std::uintptr_t;
using IconId = std::uintptr_t;

// What a backend reports to the dialog that it runs.
class DialogEvents {
  public:
    virtual ~DialogEvents() = default;
    // WM_INITDIALOG. Return true to let the system focus the first tab stop.
    virtual bool handleInitDialog(WindowId window) = 0;
    // WM_COMMAND, including IDOK and IDCANCEL from the dialog manager.
    virtual void handleCommand(int id, int code) = 0;
    // WM_NOTIFY from a control. Return true when handled; `result` is the message result.
    virtual bool handleNotify(int id, int code, std::intptr_t& result) = 0;
    // WM_SYSCOMMAND. Return true when handled; false gives default processing.
    virtual bool handleSysCommand(std::uint32_t command) = 0;
    // WM_PAINT. Return true when the dialog painted itself; false gives default painting.
    virtual bool handlePaint() = 0;
    // WM_QUERYDRAGICON: the icon to drag, or 0 for the default.
    virtual IconId handleQueryDragIcon() = 0;
    // The run is over (the window is being destroyed).
    virtual void handleDestroy() = 0;
};

// Painting inside WM_PAINT (BeginPaint..EndPaint).
class Painter {
  public:
    virtual ~Painter() = default;
    virtual void eraseIconBackground() = 0; // WM_ICONERASEBKGND with the paint DC
    virtual int clientWidth() = 0;
    virtual int clientHeight() = 0;
    virtual void drawIcon(int x, int y, IconId icon) = 0;
};

class Ui {
  public:
    virtual ~Ui() = default;

    // Runs the dialog template `templateId` modally, owned by the active window, and
    // returns the result given to endDialog, or -1 when the window cannot be created.
    virtual std::intptr_t runModal(int templateId, DialogEvents& events) = 0;
    // Why the latest runModal that returned -1 could not create its window (the system's
    // last error then); 0 when the system gave no reason.
    [[nodiscard]] virtual WinError modalError() = 0;
    virtual void endDialog(WindowId dialog, std::intptr_t result) = 0;

    // The control `id` of `dialog`, or 0.
    [[nodiscard]] virtual WindowId item(WindowId dialog, int id) = 0;

    // Any window.
    [[nodiscard]] virtual std::string text(WindowId w) = 0;
    virtual void setText(WindowId w, const std::string& text) = 0;
    [[nodiscard]] virtual bool isEnabled(WindowId w) = 0;
    virtual void enable(WindowId w, bool enabled) = 0;
    [[nodiscard]] virtual bool isVisible(WindowId w) = 0;
    [[nodiscard]] virtual bool isIconic(WindowId w) = 0;
    virtual std::intptr_t sendMessage(WindowId w, std::uint32_t message, std::uintptr_t wParam,
                                      std::intptr_t lParam) = 0;
    [[nodiscard]] virtual WindowId activeWindow() = 0;

    // Buttons (check boxes and radio buttons).
    [[nodiscard]] virtual int checkState(WindowId button) = 0;
    virtual void setCheckState(WindowId button, int state) = 0;

    // Combo boxes.
    virtual void comboReset(WindowId combo) = 0;
    virtual int comboAdd(WindowId combo, const std::string& text) = 0;
    [[nodiscard]] virtual int comboCount(WindowId combo) = 0;
    [[nodiscard]] virtual int comboSelection(WindowId combo) = 0; // -1 for none
    virtual void comboSelect(WindowId combo, int index) = 0;
    [[nodiscard]] virtual std::string comboItemText(WindowId combo, int index) = 0;

    // List views in report view.
    [[nodiscard]] virtual std::uint32_t listExtendedStyle(WindowId list) = 0;
    virtual void setListExtendedStyle(WindowId list, std::uint32_t style) = 0;
    virtual int listInsertColumn(WindowId list, int index, const std::string& heading,
                                 int format) = 0;
    virtual void listSetColumnWidth(WindowId list, int column, int width) = 0;
    virtual void listDeleteAll(WindowId list) = 0;
    virtual int listInsertItem(WindowId list, int index, const std::string& text) = 0;
    virtual void listSetItemText(WindowId list, int row, int column, const std::string& text) = 0;
    [[nodiscard]] virtual std::string listItemText(WindowId list, int row, int column) = 0;
    [[nodiscard]] virtual int listItemCount(WindowId list) = 0;
    [[nodiscard]] virtual std::uint32_t listItemState(WindowId list, int row,
                                                      std::uint32_t mask) = 0;
    virtual void listSetItemState(WindowId list, int row, std::uint32_t state,
                                  std::uint32_t mask) = 0;

    // Progress bars.
    virtual void progressSetRange(WindowId bar, int low, int high) = 0;
    virtual void progressSetPos(WindowId bar, int pos) = 0;
    [[nodiscard]] virtual int progressPos(WindowId bar) = 0;

    // The system menu of a dialog. False when the window has none.
    [[nodiscard]] virtual bool hasSystemMenu(WindowId dialog) = 0;
    virtual void appendSystemMenuSeparator(WindowId dialog) = 0;
    virtual void appendSystemMenuItem(WindowId dialog, std::uint32_t command,
                                      const std::string& text) = 0;

    // Icons from the program's resources.
    [[nodiscard]] virtual IconId loadIcon(int resourceId) = 0;
    virtual void setIcon(WindowId dialog, bool big, IconId icon) = 0;
    [[nodiscard]] virtual int iconWidth() = 0;  // GetSystemMetrics(SM_CXICON)
    [[nodiscard]] virtual int iconHeight() = 0; // GetSystemMetrics(SM_CYICON)
    // Runs `paint` between BeginPaint and EndPaint of `dialog`.
    virtual void paint(WindowId dialog, const std::function<void(Painter&)>& draw) = 0;

    virtual std::uint32_t registerWindowMessage(const std::string& name) = 0;

    // MessageBox. Returns the button chosen (IdOk, IdRetry, ...).
    virtual int messageBox(WindowId owner, const std::string& text, const std::string& caption,
                           std::uint32_t style) = 0;

    // String table entry `id`, UTF-8; empty when missing.
    [[nodiscard]] virtual std::string loadString(int id) = 0;
};

} // namespace vexo
