#include "app/Entry.h"

#include "app/InstallerApp.h"

namespace vexo {

int runInstaller(EntryServices& services) {
    services.restrictDllSearch();
    services.initCommonControls();
    Platform& platform = services.makePlatform();
    InstallerApp app(platform);
    app.initInstance();
    return app.exitCode();
}

} // namespace vexo
