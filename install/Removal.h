// Removing a model's printer and driver as one call, the installation's counterpart: the
// printer named after the model goes, then its driver for the environment the installation
// would use, with the driver's files that nothing else uses. Only what is this model's goes:
// a printer on another driver, or a driver of the model's name with another data file, is
// someone else's and stays.
#pragma once

#include "install/InstallFeedback.h"
#include "install/InstallReport.h"
#include "install/Installation.h"
#include "platform/Platform.h"

#include <cstdint>
#include <string>
#include <vector>

namespace vexo {

struct RemovalReport : RunReport {
    std::string environment;
    std::string driverName; // the model's: the driver of every printer of the model
    bool printerRemoved = false;
    // The share name of the printer, which was shared: the share went with it.
    std::string shareName;
    // The print jobs the printer still had: it is only marked for deletion and goes when
    // they end; its driver stays until then.
    std::uint32_t printerJobs = 0;
    // The driver of the printer of the model's name, which is another's: the printer stayed.
    std::string foreignPrinterDriver;
    bool driverRemoved = false;
    // The spooler refused to delete the driver's files, so only its registration went.
    bool driverFilesKept = false;
    // The data file of the driver of the model's name, which is another's: the driver stayed.
    std::string foreignDataFile;
    // The other printers that still use the driver, which was therefore kept.
    std::vector<std::string> driverUsers;
    // Neither the printer nor the driver was there.
    bool nothingToRemove = false;

    // The outcome in a sentence or two, for a message box and the log.
    [[nodiscard]] std::string summary() const;
};

// Removes the printer of `request` (named after the model unless it names its own), and the
// model's driver when no other printer uses it; everything else in the request is ignored.
RemovalReport uninstall(Platform& platform, const InstallRequest& request,
                        InstallFeedback& feedback);

} // namespace vexo
