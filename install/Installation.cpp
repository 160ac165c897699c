#include "install/Installation.h"

#include "install/DriverDeployment.h"
#include "install/ModelTables.h"
#include "install/NetworkPort.h"
#include "install/Undo.h"
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

// Whether a printer of the request's name exists and is this model's, asked of the spooler
// before anything is written: one on another driver is not this installation's to touch. False,
// the step failed, when the run must end here; `found` holds the printer when it exists.
bool findOwnPrinter(Platform& platform, const InstallRequest& request, StepLog& steps,
                    std::optional<PrinterInfo2>& found) {
    const std::string name = printerNameOf(request);
    const std::string step = cat({"Add the printer ", quoted(name)});
    PrinterInfo2 printer;
    const WinError e = platform.spooler.getPrinter(name, printer);
    if (e == err::InvalidPrinterName) {
        return true;
    }
    if (e != err::Success) {
        steps.failed(cat({step, ": find out whether a printer of that name exists; nothing was "
                                "changed"}),
                     e);
        return false;
    }
    if (!equalsIgnoringAsciiCase(printer.driverName, printerNameOf(request.model))) {
        steps.failedWithoutCode(
            cat({step, ": a printer of that name exists already, on the driver ",
                 quoted(printer.driverName),
                 ", which is not this model's; it was left as it is and "
                 "nothing was changed"}));
        return false;
    }
    found = std::move(printer);
    return true;
}

// Puts back what the binding wrote into the keys of a printer that stays where it was, and
// takes those changes off the record.
void unbind(Platform& platform, InstallFeedback& feedback, InstallReport& report,
            std::size_t bindingFrom) {
    const auto from = report.changes.begin() + static_cast<std::ptrdiff_t>(bindingFrom);
    const ChangeRecord binding(from, report.changes.end());
    report.changes.erase(from, report.changes.end());
    undoChanges(platform, binding, feedback, report);
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
    ChangeLog changes(report.changes, feedback, request.keepRecord);
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
    StepLog steps(platform.system, feedback, report);
    // Asked before anything changes: Windows on ARM takes only the package's ARM64 driver.
    const ArchitectureRow& architecture = architectureOf(platform.system);
    const DeploymentVariant& variant = architecture.deployment;
    std::string driverFolder = variant.sourceFolder;
    driverFolder.pop_back(); // without its trailing backslash
    // A run that ends before its deployment: what failed is in the report.
    auto ended = [&] {
        report.ran = true;
        report.printerName = printerNameOf(request);
        return report;
    };
    if (architecture.native == Machine::Arm64 && !platform.system.directoryExists(driverFolder)) {
        steps.failedWithoutCode(kNoArm64DriverText);
        return ended();
    }
    // The printer as it was, for a run that sets an existing one to the request.
    std::optional<PrinterInfo2> existing;
    if (request.existingPrinter == ExistingPrinter::SetToRequest &&
        !findOwnPrinter(platform, request, steps, existing)) {
        return ended();
    }
    std::string port = request.portName;
    PortGroups groups;
    if (request.tcpPort) {
        // Without its port the printer cannot be added: nothing else is done.
        if (!settleTcpPort(platform.spooler, *request.tcpPort, steps, changes)) {
            return ended();
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
    std::string asked = port;
    const bool automatic = !request.tcpPort && request.port == PortChoice::Automatic;
    UsbPortSearch search;
    if (automatic && request.bindUsbPort) {
        const std::size_t bindingFrom = report.changes.size();
        search = selectUsbPort(platform, groups.usb, printerNameOf(request), feedback, changes);
        report.boundUsbPort = search.boundPort;
        // A printer that exists already and is to be set to the request is asked onto the
        // port where the search found it on line. (A printer that does not exist yet is
        // never found on line.)
        if (search.onLine && request.existingPrinter == ExistingPrinter::SetToRequest) {
            asked = search.boundPort;
        } else if (existing) {
            unbind(platform, feedback, report, bindingFrom);
            report.boundUsbPort.clear();
        }
    }
    // An existing printer moves only where the command line named or where it answered.
    if (automatic && existing && !search.onLine) {
        asked = existing->portName;
        feedback.note(cat({"The printer ", quoted(existing->printerName), " stays on the port ",
                           quoted(asked), ": no printer answered on a USB port"}));
    }
    report.portName = port;
    deployDriver(platform, variant, request, feedback, asked, report,
                 existing ? &*existing : nullptr);
    return report;
}

} // namespace vexo
