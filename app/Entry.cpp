#include "app/Entry.h"

#include "app/InstallerApp.h"

namespace vexo {

int runInstaller(EntryServices& services) {
    services.restrictDllSearch();
    services.initCommonControls();
    Platform& platform = services.makePlatform();
    InstallerApp app(platform);
    app.initInstance();
    return 0;
}

} // namespace vexo
