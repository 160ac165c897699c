// The state the wizard's pages share for the whole process.
#pragma once

#include <cstdint>
#include <string>

namespace vexo {

class PortSelectPage;
class PrinterSettingsPage;

// An OsTypeCode: 0 not detected; 1 and 2 the Windows 9x platform; 3 to 9 the NT family up
// to version 6.2 (which Windows 8.1, 10 and 11 report to this program).
using OsTypeCode = int;

struct InstallerState {
    OsTypeCode osType = 0;
    // The port page opened last; it stays valid until the settings page has read its
    // portName after the page closed.
    PortSelectPage* portPage = nullptr;
    PrinterSettingsPage* settingsPage = nullptr;
    std::string selectedPortName;
    std::uint8_t autoPortFlag = 1;
    std::uint32_t updateDataMessage = 0; // "MyUpdateData"
    std::string monitorName;             // always empty: the driver's monitor name
};

// The one state object of the process.
InstallerState& installerState();

// Puts the state back to its initial values (a test starts a fresh "process").
void resetInstallerState();

} // namespace vexo
