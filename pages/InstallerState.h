// The state the wizard's pages share for the whole process.
#pragma once

#include "install/OsVersionCodes.h"

#include <cstdint>
#include <string>

namespace vexo {

class PortSelectPage;
class PrinterSettingsPage;

struct InstallerState {
    OsTypeCode osType = 0;
    // The port page opened last; it stays valid until the settings page has read its
    // portName after the page closed.
    PortSelectPage* portPage = nullptr;
    PrinterSettingsPage* settingsPage = nullptr;
    std::string selectedPortName;
    std::uint8_t autoPortFlag = 1;
    std::uint32_t updateDataMessage = 0; // "MyUpdateData"
    // Deliberate: always empty. The deployment registers the driver with this as its
    // monitor name, an empty text rather than none, as the installer always has.
    std::string monitorName;
};

// The one state object of the process.
InstallerState& installerState();

// Puts the state back to its initial values (a test starts a fresh "process").
void resetInstallerState();

} // namespace vexo
