#include "app/Entry.h"

#include "app/InstallerApp.h"
#include "cli/CommandLine.h"
#include "cli/UnattendedRun.h"

namespace vexo {

int runInstaller(EntryServices& services) {
    services.restrictDllSearch();
    services.initCommonControls();
    const CommandLine line = parseCommandLine(services.arguments());
    Platform& platform = services.makePlatform();
    // Where nobody can see a window the wizard would wait for a click forever: the
    // unattended run ends at once and its log gives the command line for such a session.
    if (line.action != CliAction::Wizard || !platform.system.canShowWindows()) {
        return runUnattended(platform, line, services.commandLine());
    }
    InstallerApp app(platform);
    app.initInstance();
    return app.exitCode();
}

} // namespace vexo
