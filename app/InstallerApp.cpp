#include "app/InstallerApp.h"

#include "dialog/Dialog.h"
#include "pages/InstallerState.h"
#include "pages/OsSelectPage.h"
#include "pages/PrinterSettingsPage.h"
#include "resources/ResourceIds.h"

#include <memory>

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
            reportPageFailure(platform_, IDD_PRINTER_SETTINGS);
        }
        if (s != IdCancel) {
            break; // IDOK or -1: the installer ends
        }
        r = osPage.doModal(); // "< Back": the same page again, detecting anew
    }
    if (r == -1) {
        reportPageFailure(platform_, IDD_OS_SELECT);
    }
    return false;
}

int InstallerApp::exitCode() const {
    return installerState().exitCode;
}

} // namespace vexo
