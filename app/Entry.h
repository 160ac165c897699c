// The start-up sequence of the installer, apart from the Windows entry point so that its
// order can be checked: the DLL search is restricted first, before the common controls are
// set up, the machine is made or any page runs, so that nothing the process loads later can
// come from the program's folder or the current directory.
#pragma once

#include "platform/Platform.h"

#include <string>
#include <vector>

namespace vexo {

// What the entry point needs of the real system, in the order runInstaller uses it.
class EntryServices {
  public:
    virtual ~EntryServices() = default;

    // Limits where the process looks for DLLs to System32.
    virtual void restrictDllSearch() = 0;
    // Registers the common control classes the pages use.
    virtual void initCommonControls() = 0;
    // Makes the machine the installer runs on; it lives as long as these services.
    virtual Platform& makePlatform() = 0;
    // The program's arguments without its name, UTF-8.
    [[nodiscard]] virtual std::vector<std::string> arguments() = 0;
    // The whole command line as the process was started, for a log.
    [[nodiscard]] virtual std::string commandLine() = 0;
};

// Runs the installer: without arguments the wizard, with them the unattended run, which also
// answers a start without arguments where nobody can see a window. Returns the process's
// exit code.
int runInstaller(EntryServices& services);

} // namespace vexo
