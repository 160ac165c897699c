#include "install/Removal.h"

#include "install/DriverDeployment.h"
#include "platform/Text.h"

#include <algorithm>

namespace vexo {

namespace {

std::string listed(const std::vector<std::string>& names) {
    std::string out;
    for (const std::string& n : names) {
        out += (out.empty() ? "" : ", ") + quoted(n);
    }
    return out;
}

class Removal {
  public:
    Removal(Platform& p, InstallFeedback& f, RemovalReport& r)
        : platform_(p), report_(r), steps_(p.system, f, r) {}

    void removePrinter() {
        const std::string step = "Delete the printer " + quoted(report_.printerName);
        WinError e = platform_.spooler.deletePrinter(report_.printerName);
        if (e == err::Success) {
            report_.printerRemoved = true;
            steps_.done(step);
        } else if (e == err::InvalidPrinterName) {
            steps_.note(step + ": there is no such printer");
        } else {
            steps_.failed(step, e);
        }
    }

    // False when another printer uses the driver (it is then kept) or the printers cannot
    // be listed (the spooler then decides).
    bool driverUnused() {
        std::vector<PrinterInfo2> printers;
        if (platform_.spooler.enumPrinters(PrinterEnumLocal, printers) != err::Success) {
            return true;
        }
        for (const PrinterInfo2& p : printers) {
            if (equalsIgnoringAsciiCase(p.driverName, report_.printerName)) {
                report_.driverUsers.push_back(p.printerName);
            }
        }
        if (report_.driverUsers.empty()) {
            return true;
        }
        steps_.note("The driver " + quoted(report_.printerName) + " was kept: the printer" +
                    (report_.driverUsers.size() > 1 ? "s " : " ") + listed(report_.driverUsers) +
                    " still use" + (report_.driverUsers.size() > 1 ? "" : "s") + " it");
        return false;
    }

    // False only when the spooler's list of drivers lacks this one; a list that cannot be
    // read leaves the question to the deletion.
    bool driverRegistered() {
        std::vector<std::string> names;
        if (platform_.spooler.enumPrinterDrivers(report_.environment, names) != err::Success) {
            return true;
        }
        return std::any_of(names.begin(), names.end(), [&](const std::string& n) {
            return equalsIgnoringAsciiCase(n, report_.printerName);
        });
    }

    void removeDriver() {
        const std::string step = "Delete the printer driver " + quoted(report_.printerName) +
                                 " for " + quoted(report_.environment);
        if (!driverRegistered()) {
            steps_.note(step + ": there is no such driver");
            return;
        }
        WinError e = platform_.spooler.deletePrinterDriver(report_.environment, report_.printerName,
                                                           kDeleteUnusedFiles);
        if (e == err::InvalidParameter) {
            // A spooler that refuses to delete files (Wine) still removes the registration.
            e = platform_.spooler.deletePrinterDriver(report_.environment, report_.printerName, 0);
            report_.driverFilesKept = e == err::Success;
        }
        if (e == err::Success) {
            report_.driverRemoved = true;
            steps_.note(step + (report_.driverFilesKept
                                    ? ": done; the spooler refused to delete the driver's "
                                      "files, so they stayed in its driver directory"
                                    : ": done, with the files no other driver uses"));
        } else if (e == err::UnknownPrinterDriver) {
            steps_.note(step + ": there is no such driver");
        } else if (e == err::PrinterDriverInUse) {
            report_.driverUsers.push_back("(a printer the spooler did not name)");
            steps_.note(step + ": kept, another printer still uses it");
        } else {
            steps_.failed(step, e);
        }
    }

  private:
    Platform& platform_;
    RemovalReport& report_;
    StepLog steps_;
};

} // namespace

std::string RemovalReport::summary() const {
    const std::string name = "\"" + printerName + "\"";
    if (nothingToRemove) {
        return "The printer " + name + " is not installed: nothing to remove.";
    }
    if (!failures.empty()) {
        return "The removal of " + name + " did not complete. These steps failed:" + failureLines();
    }
    std::string text;
    if (printerRemoved) {
        text = "The printer " + name + " was removed.";
    }
    if (driverRemoved) {
        text += std::string(text.empty() ? "" : " ") + "Its driver was removed" +
                (driverFilesKept ? "; its files stayed in the driver directory." : ".");
    } else if (!driverUsers.empty()) {
        text += std::string(text.empty() ? "" : " ") +
                "Its driver was kept: " + listed(driverUsers) + " still use it.";
    }
    return text;
}

RemovalReport uninstall(Platform& platform, const InstallRequest& request,
                        InstallFeedback& feedback) {
    RemovalReport report;
    report.ran = true;
    report.printerName = printerNameOf(request.model);
    if (report.printerName.empty()) {
        report.failWithoutCode("No printer model was selected");
        return report;
    }
    report.environment = deploymentFor(platform.system).environment;
    Removal removal(platform, feedback, report);
    removal.removePrinter();
    if (removal.driverUnused()) {
        removal.removeDriver();
    }
    report.nothingToRemove = report.failures.empty() && !report.printerRemoved &&
                             !report.driverRemoved && report.driverUsers.empty();
    return report;
}

} // namespace vexo
