// Removing a model's printer and driver as one call, the installation's counterpart: the
// printer named after the model goes, then its driver for the environment the installation
// would use, with the driver's files that nothing else uses.
#pragma once

#include "install/InstallFeedback.h"
#include "install/InstallReport.h"
#include "install/Installation.h"
#include "platform/Platform.h"

#include <string>
#include <vector>

namespace vexo {

struct RemovalReport : RunReport {
    std::string environment;
    bool printerRemoved = false;
    bool driverRemoved = false;
    // The spooler refused to delete the driver's files, so only its registration went.
    bool driverFilesKept = false;
    // The other printers that still use the driver, which was therefore kept.
    std::vector<std::string> driverUsers;
    // Neither the printer nor the driver was there.
    bool nothingToRemove = false;

    // The outcome in a sentence or two, for a message box and the log.
    [[nodiscard]] std::string summary() const;
};

// Removes `request.model`'s printer and driver; everything else in the request is ignored.
RemovalReport uninstall(Platform& platform, const InstallRequest& request,
                        InstallFeedback& feedback);

} // namespace vexo
