// The installer's first page with nothing of the installer behind it: the program's own
// dialog template of that page, with its font, and its own resources and manifest (linked
// in from resources/vexo.rc), shown by a bare dialog procedure. The benchmark script times
// its start to its window against VexoSetup.exe's start to the same page, so that the ratio
// is what the installer's own code costs.
//
// Built by the windows presets as build/windows-x86/bench/FirstPage.exe and
// build/windows-x64/bench/FirstPage.exe, with the flags of the program it is measured against
// (bench/CMakeLists.txt).
#include <windows.h>

#include "resources/ResourceIds.h"

namespace {

INT_PTR CALLBACK dialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDC_OS_EXIT || LOWORD(wParam) == IDCANCEL) {
            EndDialog(dialog, 0);
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
    INT_PTR result =
        DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_OS_SELECT), nullptr, dialogProc, 0);
    return result == 0 ? 0 : 1;
}
