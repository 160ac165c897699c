#include "install/Installation.h"

#include "install/DriverDeployment.h"
#include "install/ModelTables.h"
#include "install/NetworkPort.h"
#include "install/UsbPortBinding.h"
#include "platform/Text.h"

namespace vexo {

namespace {

std::string listedOrNone(const std::vector<std::string>& names) {
    return names.empty() ? "none" : joined(names);
}

constexpr const char* kRowNames[] = {"serial", "USB", "parallel", "TCP/IP"};

// What discovery found and which port the automatic choice takes, for the log.
std::string discoveryLine(System& system, const PortGroups& groups, int row,
                          const std::string& port) {
    std::string line;
    if (groups.portsError != err::Success) {
        line = cat(
            {StepFailures::describe(system, "List the spooler's ports", groups.portsError), ". "});
    }
    const char* kind = row >= 0 && row < 4 ? kRowNames[row] : "no";
    return cat({line, "Port discovery found USB ports: ", listedOrNone(groups.usb),
                "; serial: ", listedOrNone(groups.serial), "; parallel: ", listedOrNone(groups.lpt),
                "; TCP/IP: ", listedOrNone(groups.tcpip), ". The automatic choice ",
                port.empty() ? "took the " : "takes \"", port,
                port.empty() ? "" : "\", the first port of the ", kind,
                port.empty() ? " group, which holds no port" : " group"});
}

} // namespace

std::string printerNameOf(int model) {
    return model >= 0 && model < static_cast<int>(kModelCount)
               ? modelCodes[static_cast<std::size_t>(model)]
               : "";
}

std::string printerNameOf(const InstallRequest& request) {
    return request.printerName.empty() ? printerNameOf(request.model) : request.printerName;
}

bool protectedPrintModeOn(Registry& registry) {
    RegKey key;
    if (registry.openKey(RegRoot::LocalMachine, kProtectedPrintKey, reg::QueryValue, key) !=
        err::Success) {
        return false;
    }
    RegValue value;
    return registry.queryValue(key, kProtectedPrintValue, value) == err::Success &&
           value.type == reg::TypeDword && value.data.size() == 4 && value.data[0] == 1 &&
           value.data[1] == 0 && value.data[2] == 0 && value.data[3] == 0;
}

InstallReport install(Platform& platform, const InstallRequest& request,
                      InstallFeedback& feedback) {
    InstallReport report;
    if (protectedPrintModeOn(platform.registry)) {
        report.ran = true;
        report.refusedByProtectedPrint = true;
        report.printerName = printerNameOf(request);
        feedback.note(
            report
                .failWithoutCode("Windows protected print mode is on (the policy \"" +
                                 std::string(kProtectedPrintValue) +
                                 "\" is 1): Windows accepts only its own printer drivers, so this "
                                 "driver was not copied or registered and no printer was added")
                .step);
        return report;
    }
    std::string port = request.portName;
    PortGroups groups;
    if (request.tcpPort) {
        // Without its port the printer cannot be added: nothing else is done.
        StepLog steps(platform.system, feedback, report);
        if (!settleTcpPort(platform.spooler, *request.tcpPort, steps)) {
            report.ran = true;
            report.printerName = printerNameOf(request);
            return report;
        }
        port = request.tcpPort->name;
    } else if (request.port == PortChoice::Automatic) {
        port.clear();
        groups = discoverPorts(platform.registry, platform.spooler);
        feedback.showDiscovery(groups);
        const int row = automaticRow(groups, request.listRows, request.keptRow);
        if (const auto* group = portGroupOfRow(groups, row); group && !group->empty()) {
            port = group->front();
        }
        feedback.note(discoveryLine(platform.system, groups, row, port));
    } else {
        feedback.note(cat({"The port \"", port, "\" was named"}));
    }
    // Asked once the port is settled, as the installer always has.
    const DeploymentVariant& variant = deploymentFor(platform.system);
    std::string asked = port;
    if (!request.tcpPort && request.port == PortChoice::Automatic && request.bindUsbPort) {
        const UsbPortSearch search =
            selectUsbPort(platform, groups.usb, printerNameOf(request), feedback);
        report.boundUsbPort = search.boundPort;
        // A printer that exists already and is to be set to the request is asked onto the
        // port where the search found it on line. (A printer that does not exist yet is
        // never found on line.)
        if (search.onLine && request.existingPrinter == ExistingPrinter::SetToRequest) {
            asked = search.boundPort;
        }
    }
    report.portName = port;
    deployDriver(platform, variant, request, feedback, asked, report);
    return report;
}

} // namespace vexo
