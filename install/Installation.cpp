#include "install/Installation.h"

#include "install/DriverDeployment.h"
#include "install/ModelTables.h"
#include "install/UsbPortBinding.h"

namespace vexo {

namespace {

std::string printerName(int model) {
    return model >= 0 && model < static_cast<int>(kModelCount)
               ? modelCodes[static_cast<std::size_t>(model)]
               : "";
}

} // namespace

InstallReport install(Platform& platform, const InstallRequest& request,
                      InstallFeedback& feedback) {
    InstallReport report;
    std::string port = request.portName;
    PortGroups groups;
    if (request.port == PortChoice::Automatic) {
        port.clear();
        groups = discoverPorts(platform.registry, platform.spooler);
        const int row = feedback.showDiscovery(groups);
        if (const auto* group = portGroupOfRow(groups, row); group && !group->empty()) {
            port = group->front();
        }
    }
    // Asked once the port is settled, as the installer always has.
    const bool wow64 = platform.system.queryIsWow64().value_or(false);
    if (request.port == PortChoice::Automatic && request.bindUsbPort) {
        report.boundUsbPort =
            selectUsbPort(platform, groups.usb, printerName(request.model), feedback);
    }
    report.portName = port;
    deployDriver(platform, wow64 ? kX64Deployment : kX86Deployment, request, feedback, port,
                 report);
    return report;
}

} // namespace vexo
