// What the Win32 window services share: a WindowId is the HWND, and control messages
// return ints.
#pragma once

#include "platform/Ui.h"

#include <windows.h>

#include <cstddef>

namespace vexo::win32 {

inline HWND hwnd(WindowId w) {
    return reinterpret_cast<HWND>(w);
}
inline WindowId windowId(HWND w) {
    return reinterpret_cast<WindowId>(w);
}

inline int sendInt(WindowId w, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
    return static_cast<int>(SendMessageW(hwnd(w), message, wParam, lParam));
}

// Keeps the text-getting messages' buffers bounded when a control keeps reporting more.
inline constexpr std::size_t kMaxTextLength = std::size_t{1} << 24;

} // namespace vexo::win32
