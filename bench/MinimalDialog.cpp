// The smallest useful Win32 dialog program: one modal dialog from a template in memory, with
// a line of text and an OK button, that ends when it is closed. The benchmark script times
// its start to its first window against the installer's start to its first page.
//
// Built by scripts/benchmark.sh:
//   x86_64-w64-mingw32-g++ -O2 -static -mwindows -municode MinimalDialog.cpp -o MinimalDialog.exe
#include <windows.h>

#include <cstdint>
#include <string_view>
#include <vector>

namespace {

constexpr const wchar_t* kTitle = L"Minimal Dialog";

// A DLGTEMPLATE and its items, laid out as the dialog manager reads them: WORD-aligned
// texts after each header, each item DWORD-aligned.
class TemplateBuilder {
  public:
    void header(DWORD style, WORD items, short cx, short cy, std::wstring_view title) {
        DLGTEMPLATE t{};
        t.style = style;
        t.cdit = items;
        t.cx = cx;
        t.cy = cy;
        raw(&t, sizeof t);
        word(0); // no menu
        word(0); // the standard dialog class
        text(title);
        word(9); // point size, since DS_SETFONT
        text(L"MS Shell Dlg");
    }

    void item(DWORD style, short x, short y, short cx, short cy, WORD id, WORD atom,
              std::wstring_view caption) {
        align(4);
        DLGITEMTEMPLATE t{};
        t.style = style | WS_CHILD | WS_VISIBLE;
        t.x = x;
        t.y = y;
        t.cx = cx;
        t.cy = cy;
        t.id = id;
        raw(&t, sizeof t);
        word(0xFFFF);
        word(atom);
        text(caption);
        word(0); // no creation data
    }

    const DLGTEMPLATE* get() const { return reinterpret_cast<const DLGTEMPLATE*>(bytes_.data()); }

  private:
    void raw(const void* data, std::size_t size) {
        const auto* p = static_cast<const std::uint8_t*>(data);
        bytes_.insert(bytes_.end(), p, p + size);
    }
    void word(WORD w) { raw(&w, sizeof w); }
    void text(std::wstring_view s) {
        for (wchar_t c : s) {
            word(static_cast<WORD>(c));
        }
        word(0);
    }
    void align(std::size_t n) {
        while (bytes_.size() % n != 0) {
            bytes_.push_back(0);
        }
    }

    std::vector<std::uint8_t> bytes_;
};

INT_PTR CALLBACK dialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
            EndDialog(dialog, LOWORD(wParam));
            return TRUE;
        }
        break;
    default:
        break;
    }
    return FALSE;
}

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    TemplateBuilder t;
    t.header(WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_CENTER | DS_SETFONT, 2, 200,
             80, kTitle);
    t.item(SS_LEFT, 10, 10, 180, 20, 100, 0x0082, L"A minimal dialog.");
    t.item(BS_DEFPUSHBUTTON | WS_TABSTOP, 75, 50, 50, 14, IDOK, 0x0080, L"OK");
    INT_PTR result = DialogBoxIndirectParamW(instance, t.get(), nullptr, dialogProc, 0);
    return result == IDOK || result == IDCANCEL ? 0 : 1;
}
