// The Win32 window services of the controls the pages use: combo boxes, list views in
// report view and progress bars.
#include "platform/win32/Win32Ui.h"

#include "platform/win32/WideText.h"
#include "platform/win32/WindowHandles.h"

#include <commctrl.h>

#include <algorithm>

namespace vexo::win32 {

void Win32Ui::comboReset(WindowId combo) {
    SendMessageW(hwnd(combo), CB_RESETCONTENT, 0, 0);
}

int Win32Ui::comboAdd(WindowId combo, const std::string& text) {
    std::wstring wide = widen(text);
    return sendInt(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(wide.c_str()));
}

int Win32Ui::comboCount(WindowId combo) {
    return sendInt(combo, CB_GETCOUNT);
}

int Win32Ui::comboSelection(WindowId combo) {
    return sendInt(combo, CB_GETCURSEL);
}

void Win32Ui::comboSelect(WindowId combo, int index) {
    SendMessageW(hwnd(combo), CB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

std::string Win32Ui::comboItemText(WindowId combo, int index) {
    int length = sendInt(combo, CB_GETLBTEXTLEN, static_cast<WPARAM>(index));
    if (length < 0) {
        return std::string();
    }
    std::wstring buffer(static_cast<std::size_t>(length) + 1, L'\0');
    int copied = sendInt(combo, CB_GETLBTEXT, static_cast<WPARAM>(index),
                         reinterpret_cast<LPARAM>(buffer.data()));
    if (copied < 0) {
        return std::string();
    }
    buffer.resize(std::min<std::size_t>(static_cast<std::size_t>(copied), buffer.size() - 1));
    return narrow(buffer);
}

std::uint32_t Win32Ui::listExtendedStyle(WindowId list) {
    return static_cast<std::uint32_t>(SendMessageW(hwnd(list), LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0));
}

void Win32Ui::setListExtendedStyle(WindowId list, std::uint32_t style) {
    // wParam 0: every bit of the style is set as given.
    SendMessageW(hwnd(list), LVM_SETEXTENDEDLISTVIEWSTYLE, 0, static_cast<LPARAM>(style));
}

int Win32Ui::listInsertColumn(WindowId list, int index, const std::string& heading, int format) {
    std::wstring wide = widen(heading);
    LVCOLUMNW column{};
    column.mask = LVCF_TEXT | LVCF_FMT;
    column.fmt = format;
    column.pszText = wide.data();
    return sendInt(list, LVM_INSERTCOLUMNW, static_cast<WPARAM>(index),
                   reinterpret_cast<LPARAM>(&column));
}

void Win32Ui::listSetColumnWidth(WindowId list, int column, int width) {
    SendMessageW(hwnd(list), LVM_SETCOLUMNWIDTH, static_cast<WPARAM>(column), MAKELPARAM(width, 0));
}

void Win32Ui::listDeleteAll(WindowId list) {
    SendMessageW(hwnd(list), LVM_DELETEALLITEMS, 0, 0);
}

int Win32Ui::listInsertItem(WindowId list, int index, const std::string& text) {
    std::wstring wide = widen(text);
    LVITEMW item{};
    item.mask = LVIF_TEXT;
    item.iItem = index;
    item.iSubItem = 0;
    item.pszText = wide.data();
    return sendInt(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
}

void Win32Ui::listSetItemText(WindowId list, int row, int column, const std::string& text) {
    std::wstring wide = widen(text);
    LVITEMW item{};
    item.iSubItem = column;
    item.pszText = wide.data();
    SendMessageW(hwnd(list), LVM_SETITEMTEXTW, static_cast<WPARAM>(row),
                 reinterpret_cast<LPARAM>(&item));
}

std::string Win32Ui::listItemText(WindowId list, int row, int column) {
    // The message reports only how much it copied: a text that fills the buffer may have
    // been cut short, so it is read again into a bigger one.
    std::wstring buffer(256, L'\0');
    for (;;) {
        LVITEMW item{};
        item.iSubItem = column;
        item.pszText = buffer.data();
        item.cchTextMax = static_cast<int>(buffer.size());
        int copied = sendInt(list, LVM_GETITEMTEXTW, static_cast<WPARAM>(row),
                             reinterpret_cast<LPARAM>(&item));
        if (copied < 0) {
            return std::string();
        }
        if (static_cast<std::size_t>(copied) + 1 < buffer.size() ||
            buffer.size() >= kMaxTextLength) {
            const wchar_t* text = item.pszText != nullptr ? item.pszText : buffer.data();
            if (text == buffer.data()) {
                copied = static_cast<int>(
                    std::min<std::size_t>(static_cast<std::size_t>(copied), buffer.size() - 1));
            }
            return narrow(std::wstring_view(text, static_cast<std::size_t>(copied)));
        }
        buffer.assign(buffer.size() * 2, L'\0');
    }
}

int Win32Ui::listItemCount(WindowId list) {
    return sendInt(list, LVM_GETITEMCOUNT);
}

std::uint32_t Win32Ui::listItemState(WindowId list, int row, std::uint32_t mask) {
    return static_cast<std::uint32_t>(
        SendMessageW(hwnd(list), LVM_GETITEMSTATE, static_cast<WPARAM>(row), mask));
}

void Win32Ui::listSetItemState(WindowId list, int row, std::uint32_t state, std::uint32_t mask) {
    LVITEMW item{};
    item.state = state;
    item.stateMask = mask;
    SendMessageW(hwnd(list), LVM_SETITEMSTATE, static_cast<WPARAM>(row),
                 reinterpret_cast<LPARAM>(&item));
}

void Win32Ui::progressSetRange(WindowId bar, int low, int high) {
    SendMessageW(hwnd(bar), PBM_SETRANGE, 0, MAKELPARAM(low, high));
}

void Win32Ui::progressSetPos(WindowId bar, int pos) {
    SendMessageW(hwnd(bar), PBM_SETPOS, static_cast<WPARAM>(pos), 0);
}

int Win32Ui::progressPos(WindowId bar) {
    return sendInt(bar, PBM_GETPOS);
}

} // namespace vexo::win32
