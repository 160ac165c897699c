// The dialog backend over user32 and comctl32: modal dialogs from the program's templates
// through DialogBoxParamW, and the controls through their wide messages.
#pragma once

#include "platform/Ui.h"

#include <windows.h>

namespace vexo::win32 {

class Win32Ui final : public Ui {
  public:
    // Templates, icons and strings come from `module`; null for the program's own file.
    explicit Win32Ui(HMODULE module = nullptr);

    std::intptr_t runModal(int templateId, DialogEvents& events) override;
    WinError modalError() override;
    void endDialog(WindowId dialog, std::intptr_t result) override;

    WindowId item(WindowId dialog, int id) override;

    std::string text(WindowId w) override;
    void setText(WindowId w, const std::string& text) override;
    bool isEnabled(WindowId w) override;
    void enable(WindowId w, bool enabled) override;
    // The window's own visibility (its WS_VISIBLE style), whether or not its parent is
    // shown yet: controls answer the same during WM_INITDIALOG as afterwards.
    bool isVisible(WindowId w) override;
    bool isIconic(WindowId w) override;
    std::intptr_t sendMessage(WindowId w, std::uint32_t message, std::uintptr_t wParam,
                              std::intptr_t lParam) override;
    WindowId activeWindow() override;

    int checkState(WindowId button) override;
    void setCheckState(WindowId button, int state) override;

    void comboReset(WindowId combo) override;
    int comboAdd(WindowId combo, const std::string& text) override;
    int comboCount(WindowId combo) override;
    int comboSelection(WindowId combo) override;
    void comboSelect(WindowId combo, int index) override;
    std::string comboItemText(WindowId combo, int index) override;

    std::uint32_t listExtendedStyle(WindowId list) override;
    void setListExtendedStyle(WindowId list, std::uint32_t style) override;
    int listInsertColumn(WindowId list, int index, const std::string& heading, int format) override;
    void listSetColumnWidth(WindowId list, int column, int width) override;
    void listDeleteAll(WindowId list) override;
    int listInsertItem(WindowId list, int index, const std::string& text) override;
    void listSetItemText(WindowId list, int row, int column, const std::string& text) override;
    std::string listItemText(WindowId list, int row, int column) override;
    int listItemCount(WindowId list) override;
    std::uint32_t listItemState(WindowId list, int row, std::uint32_t mask) override;
    void listSetItemState(WindowId list, int row, std::uint32_t state, std::uint32_t mask) override;

    void progressSetRange(WindowId bar, int low, int high) override;
    void progressSetPos(WindowId bar, int pos) override;
    int progressPos(WindowId bar) override;

    bool hasSystemMenu(WindowId dialog) override;
    void appendSystemMenuSeparator(WindowId dialog) override;
    void appendSystemMenuItem(WindowId dialog, std::uint32_t command,
                              const std::string& text) override;

    IconId loadIcon(int resourceId) override;
    void setIcon(WindowId dialog, bool big, IconId icon) override;
    int iconWidth() override;
    int iconHeight() override;
    void paint(WindowId dialog, const std::function<void(Painter&)>& draw) override;

    std::uint32_t registerWindowMessage(const std::string& name) override;
    int messageBox(WindowId owner, const std::string& text, const std::string& caption,
                   std::uint32_t style) override;
    std::string loadString(int id) override;

  private:
    static INT_PTR CALLBACK dialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    HMODULE module_;
    WinError modalError_ = 0;
};

} // namespace vexo::win32
