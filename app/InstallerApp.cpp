#include "app/InstallerApp.h"

#include "dialog/Dialog.h"
#include "pages/InstallerState.h"
#include "pages/OsSelectPage.h"
#include "pages/PrinterSettingsPage.h"
#include "resources/ResourceIds.h"

#include <memory>
#include <string>

namespace vexo {

bool InstallerApp::initInstance() {
    InstallerState& state = installerState();
    state.updateDataMessage = platform_.ui.registerWindowMessage("MyUpdateData");

    OsSelectPage osPage(platform_);
    std::intptr_t r = osPage.doModal();
    while (r == IdOk) {
        std::intptr_t s = 0;
        {
            // A fresh settings page for every visit: it starts from its defaults.
            auto settings = std::make_unique<PrinterSettingsPage>(platform_);
            s = settings->doModal();
        }
        if (s == -1) {
            reportPageFailure(IDD_PRINTER_SETTINGS);
        }
        if (s != IdCancel) {
            break; // IDOK or -1: the installer ends
        }
        r = osPage.doModal(); // "< Back": the same page again, detecting anew
    }
    if (r == -1) {
        reportPageFailure(IDD_OS_SELECT);
    }
    return false;
}

void InstallerApp::reportPageFailure(int templateId) {
    exitCode_ = 1;
    WinError error = platform_.ui.modalError();
    std::string why = error == err::Success ? std::string("Windows gave no reason.")
                                            : platform_.system.errorText(error) + " (error " +
                                                  std::to_string(error) + ")";
    std::string text = "The installer could not open its window (dialog " +
                       std::to_string(templateId) + "): " + why;
    platform_.system.debugOutput(platform_.system.programTitle() + ": " + text + "\n");
    // Without a display this box cannot open either; the debugger output and the exit
    // code still tell.
    appMessageBox(platform_, text, mb::Ok | mb::IconError);
}

} // namespace vexo
