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
    if (line.action != CliAction::Wizard) {
        return runUnattended(platform, line, services.commandLine());
    }
    InstallerApp app(platform);
    app.initInstance();
    return app.exitCode();
}

} // namespace vexo
