// The first page: shows the detected Windows version and leads on to the printer settings.
#pragma once

#include "dialog/Dialog.h"
#include "install/OsVersionCodes.h"
#include "pages/InstallerState.h"
#include "platform/System.h"

#include <optional>
#include <string>

namespace vexo {

// The radio button that shows an OsTypeCode; 0 for code 0 (none is checked).
int osRadioButton(OsTypeCode code);

// The program a launch command starts: `directory` + "\" + `relative`. The backslash is
// appended whether or not the directory ends in one, as the installer always did.
std::string launchPath(const std::string& directory, const std::string& relative);

class OsSelectPage final : public Dialog {
  public:
    explicit OsSelectPage(Platform& platform);

    // Classifies the running Windows into osType; leaves it unchanged when the version
    // query fails or reports a version the table does not list.
    void detectOsType();
    // Starts the package's USB virtual-serial-port driver installer for this Windows.
    void launchUsbDriverInstaller();
    // Starts the older USB driver installer.
    void launchLegacyUsbDriverInstaller();

  protected:
    bool onInitDialog() override;
    bool onPaint() override;
};

} // namespace vexo
