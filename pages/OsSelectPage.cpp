#include "pages/OsSelectPage.h"

#include "install/Architecture.h"
#include "resources/ResourceIds.h"

namespace vexo {

int osRadioButton(OsTypeCode code) {
    switch (code) {
    case os_type::Windows95:
        return IDC_OS_WIN95;
    case os_type::Windows98:
        return IDC_OS_WIN98;
    case os_type::WindowsNt4:
        return IDC_OS_WINNT4;
    case os_type::Windows2000:
        return IDC_OS_WIN2000;
    case os_type::WindowsXp:
        return IDC_OS_WINXP;
    case os_type::WindowsServer2003:
        return IDC_OS_WIN2003;
    case os_type::WindowsVista:
        return IDC_OS_WINVISTA;
    case os_type::Windows7:
        return IDC_OS_WIN7;
    case os_type::Windows8:
        return IDC_OS_WIN8;
    default:
        return 0;
    }
}

std::string launchPath(const std::string& directory, const std::string& relative) {
    return directory + "\\" + relative;
}

OsSelectPage::OsSelectPage(Platform& platform) : Dialog(platform, IDD_OS_SELECT) {
    onClicked(IDC_OS_INSTALL, [this] { onOK(); });
    onClicked(IDC_OS_EXIT, [this] { onCancel(); });
    onClicked(IDC_OS_USB_DRIVER, [this] { launchUsbDriverInstaller(); });
    onClicked(IDC_OS_LEGACY_USB_DRIVER, [this] { launchLegacyUsbDriverInstaller(); });
    onClicked(IDC_OS_BACK, [] {});
}

bool OsSelectPage::onInitDialog() {
    Dialog::onInitDialog();
    detectOsType();
    if (int radio = osRadioButton(installerState().osType); radio != 0) {
        control<Button>(radio).setCheckState(CheckChecked);
    }
    return true;
}

bool OsSelectPage::onPaint() {
    // Nothing of its own to draw: begin and end painting, which validates the client area.
    ui_.paint(window(), [](Painter&) {});
    return true;
}

void OsSelectPage::detectOsType() {
    System& system = platform_.system;
    OsVersion version;
    if (!system.getVersion(kOsVersionInfoExSize, version) &&
        !system.getVersion(kOsVersionInfoSize, version)) {
        return;
    }
    if (auto code = classifyOsVersion(version)) {
        installerState().osType = *code;
    }
}

void OsSelectPage::launchUsbDriverInstaller() {
    System& system = platform_.system;
    std::string directory = system.currentDirectory();
    // Windows on ARM has no installer in the package: nothing starts there.
    if (const char* installer = architectureOf(system).usbInstaller) {
        system.shellOpen(launchPath(directory, installer));
    }
}

void OsSelectPage::launchLegacyUsbDriverInstaller() {
    platform_.system.shellOpen(
        launchPath(platform_.system.currentDirectory(), "USBdriver\\x86\\dpinst.exe"));
}

} // namespace vexo
