// The values the wizard's pages share for the whole process.
#pragma once

#include "install/ExitCodes.h"
#include "install/OsVersionCodes.h"
#include "platform/Platform.h"

#include <cstdint>
#include <string>

namespace vexo {

struct InstallerState {
    OsTypeCode osType = OsTypeCode::NotDetected;
    // The port the printer was installed on, once the port page has ended after installing.
    std::string selectedPortName;
    // 1: the port page's "USB port" row installs with the USB port binding, and the other
    // rows ask for a search first; 0 after "Search Port..." or "Create Port...".
    std::uint8_t autoPortFlag = 1;
    std::uint32_t updateDataMessage = 0; // "MyUpdateData"
    // The process's exit code: the user left before installing until an installation has
    // run (then 0 or 1603 by its outcome); 1 once a page could not open its window.
    int exitCode = kExitUserCancelled;
};

// The one state object of the process.
InstallerState& installerState();

// Puts the state back to its initial values (a test starts a fresh "process").
void resetInstallerState();

// A page that cannot open its window ends the wizard, and that must not look like
// success: the exit code becomes 1, and the debugger output and, where a window can still
// be shown, a message box say why.
void reportPageFailure(Platform& platform, int templateId);

} // namespace vexo
