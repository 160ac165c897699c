// The Windows entry point. The DLL search is restricted to System32 before anything else
// runs, so that a DLL planted beside the program or in the current directory (a download
// folder, while the program runs elevated) is never loaded.
#include "app/InstallerApp.h"
#include "platform/win32/Win32Platform.h"

int main() {
    vexo::win32::restrictDllSearch();
    vexo::win32::initCommonControls();
    vexo::win32::Win32Machine machine;
    vexo::InstallerApp app(machine.platform());
    app.initInstance();
    return 0;
}
