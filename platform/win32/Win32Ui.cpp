#include "platform/win32/Win32Ui.h"

#include "platform/win32/WideText.h"
#include "platform/win32/WindowHandles.h"

#include <commctrl.h>

#include <algorithm>

namespace vexo::win32 {

namespace {

class Win32Painter final : public Painter {
  public:
    Win32Painter(HWND window, HDC dc) : window_(window), dc_(dc) {}
    void eraseIconBackground() override {
        SendMessageW(window_, WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc_), 0);
    }
    int clientWidth() override { return clientRect().right - clientRect().left; }
    int clientHeight() override { return clientRect().bottom - clientRect().top; }
    void drawIcon(int x, int y, IconId icon) override {
        DrawIcon(dc_, x, y, reinterpret_cast<HICON>(icon));
    }

  private:
    RECT clientRect() const {
        RECT r{};
        GetClientRect(window_, &r);
        return r;
    }

    HWND window_;
    HDC dc_;
};

} // namespace

Win32Ui::Win32Ui(HMODULE module)
    : module_(module != nullptr ? module : GetModuleHandleW(nullptr)) {}

INT_PTR CALLBACK Win32Ui::dialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    // No exception may unwind through the system's dialog manager.
    try {
        if (message == WM_INITDIALOG) {
            auto* events = reinterpret_cast<DialogEvents*>(lParam);
            SetWindowLongPtrW(window, DWLP_USER, lParam);
            if (events == nullptr) {
                return TRUE;
            }
            return events->handleInitDialog(windowId(window)) ? TRUE : FALSE;
        }
        // Messages before WM_INITDIALOG (WM_SETFONT, ...) and after WM_NCDESTROY find none.
        auto* events = reinterpret_cast<DialogEvents*>(GetWindowLongPtrW(window, DWLP_USER));
        if (events == nullptr) {
            return FALSE;
        }
        switch (message) {
        case WM_COMMAND:
            events->handleCommand(LOWORD(wParam), HIWORD(wParam));
            return TRUE;
        case WM_NOTIFY: {
            const auto* header = reinterpret_cast<const NMHDR*>(lParam);
            if (header == nullptr) {
                return FALSE;
            }
            std::intptr_t result = 0;
            if (!events->handleNotify(static_cast<int>(header->idFrom),
                                      static_cast<int>(header->code), result)) {
                return FALSE;
            }
            SetWindowLongPtrW(window, DWLP_MSGRESULT, result);
            return TRUE;
        }
        case WM_SYSCOMMAND:
            // FALSE lets the dialog manager give the command its default processing.
            return events->handleSysCommand(static_cast<std::uint32_t>(wParam)) ? TRUE : FALSE;
        case WM_PAINT:
            return events->handlePaint() ? TRUE : FALSE;
        case WM_QUERYDRAGICON:
            // Returned as it is; 0 lets the system choose the icon.
            return static_cast<INT_PTR>(events->handleQueryDragIcon());
        case WM_DESTROY:
            events->handleDestroy();
            return FALSE;
        case WM_NCDESTROY:
            SetWindowLongPtrW(window, DWLP_USER, 0);
            return FALSE;
        default:
            return FALSE;
        }
    } catch (...) {
        OutputDebugStringW(L"VexoSetup: unexpected error in a dialog procedure\n");
        return FALSE;
    }
}

std::intptr_t Win32Ui::runModal(int templateId, DialogEvents& events) {
    SetLastError(ERROR_SUCCESS);
    INT_PTR result = DialogBoxParamW(module_, MAKEINTRESOURCEW(templateId), GetActiveWindow(),
                                     &Win32Ui::dialogProc, reinterpret_cast<LPARAM>(&events));
    if (result == -1) {
        modalError_ = GetLastError();
    }
    return result;
}

WinError Win32Ui::modalError() {
    return modalError_;
}

void Win32Ui::endDialog(WindowId dialog, std::intptr_t result) {
    EndDialog(hwnd(dialog), result);
}

WindowId Win32Ui::item(WindowId dialog, int id) {
    return windowId(GetDlgItem(hwnd(dialog), id));
}

std::string Win32Ui::text(WindowId w) {
    // The length can overstate (never understate) what is copied; a text that grows in
    // between fills the buffer, and is read again into a bigger one.
    std::size_t capacity = static_cast<std::size_t>(std::max(GetWindowTextLengthW(hwnd(w)), 0)) + 2;
    std::wstring buffer;
    for (;;) {
        buffer.assign(capacity, L'\0');
        int copied = GetWindowTextW(hwnd(w), buffer.data(), static_cast<int>(capacity));
        if (copied < 0) {
            return std::string();
        }
        if (static_cast<std::size_t>(copied) + 1 < capacity || capacity >= kMaxTextLength) {
            buffer.resize(std::min<std::size_t>(static_cast<std::size_t>(copied), capacity));
            return narrow(buffer);
        }
        capacity *= 2;
    }
}

void Win32Ui::setText(WindowId w, const std::string& text) {
    SetWindowTextW(hwnd(w), widen(text).c_str());
}

bool Win32Ui::isEnabled(WindowId w) {
    return IsWindowEnabled(hwnd(w)) != FALSE;
}

void Win32Ui::enable(WindowId w, bool enabled) {
    EnableWindow(hwnd(w), enabled ? TRUE : FALSE);
}

bool Win32Ui::isVisible(WindowId w) {
    return (GetWindowLongPtrW(hwnd(w), GWL_STYLE) & WS_VISIBLE) != 0;
}

bool Win32Ui::isIconic(WindowId w) {
    return IsIconic(hwnd(w)) != FALSE;
}

std::intptr_t Win32Ui::sendMessage(WindowId w, std::uint32_t message, std::uintptr_t wParam,
                                   std::intptr_t lParam) {
    return SendMessageW(hwnd(w), message, wParam, lParam);
}

WindowId Win32Ui::activeWindow() {
    return windowId(GetActiveWindow());
}

int Win32Ui::checkState(WindowId button) {
    return sendInt(button, BM_GETCHECK);
}

void Win32Ui::setCheckState(WindowId button, int state) {
    SendMessageW(hwnd(button), BM_SETCHECK, static_cast<WPARAM>(state), 0);
}

bool Win32Ui::hasSystemMenu(WindowId dialog) {
    return GetSystemMenu(hwnd(dialog), FALSE) != nullptr;
}

void Win32Ui::appendSystemMenuSeparator(WindowId dialog) {
    if (HMENU menu = GetSystemMenu(hwnd(dialog), FALSE); menu != nullptr) {
        AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    }
}

void Win32Ui::appendSystemMenuItem(WindowId dialog, std::uint32_t command,
                                   const std::string& text) {
    if (HMENU menu = GetSystemMenu(hwnd(dialog), FALSE); menu != nullptr) {
        AppendMenuW(menu, MF_STRING, command, widen(text).c_str());
    }
}

IconId Win32Ui::loadIcon(int resourceId) {
    return reinterpret_cast<IconId>(LoadIconW(module_, MAKEINTRESOURCEW(resourceId)));
}

void Win32Ui::setIcon(WindowId dialog, bool big, IconId icon) {
    SendMessageW(hwnd(dialog), WM_SETICON, big ? ICON_BIG : ICON_SMALL, static_cast<LPARAM>(icon));
}

int Win32Ui::iconWidth() {
    return GetSystemMetrics(SM_CXICON);
}

int Win32Ui::iconHeight() {
    return GetSystemMetrics(SM_CYICON);
}

void Win32Ui::paint(WindowId dialog, const std::function<void(Painter&)>& draw) {
    struct PaintScope {
        HWND window;
        PAINTSTRUCT ps{};
        HDC dc;
        explicit PaintScope(HWND w) : window(w), dc(BeginPaint(w, &ps)) {}
        PaintScope(const PaintScope&) = delete;
        PaintScope& operator=(const PaintScope&) = delete;
        ~PaintScope() { EndPaint(window, &ps); }
    } scope(hwnd(dialog));
    Win32Painter painter(scope.window, scope.dc);
    draw(painter);
}

std::uint32_t Win32Ui::registerWindowMessage(const std::string& name) {
    return RegisterWindowMessageW(widen(name).c_str());
}

int Win32Ui::messageBox(WindowId owner, const std::string& text, const std::string& caption,
                        std::uint32_t style) {
    return MessageBoxW(hwnd(owner), widen(text).c_str(), widen(caption).c_str(), style);
}

std::string Win32Ui::loadString(int id) {
    // With a buffer size of 0 the call hands back a pointer to the resource's own text,
    // which is counted, not NUL-terminated.
    const wchar_t* resourceText = nullptr;
    int length =
        LoadStringW(module_, static_cast<UINT>(id), reinterpret_cast<LPWSTR>(&resourceText), 0);
    if (length <= 0 || resourceText == nullptr) {
        return std::string();
    }
    return narrow(std::wstring_view(resourceText, static_cast<std::size_t>(length)));
}

} // namespace vexo::win32
