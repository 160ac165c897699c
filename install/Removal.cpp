#include "install/Removal.h"

#include "install/DriverDeployment.h"
#include "install/ModelTables.h"
#include "platform/Text.h"

namespace vexo {

namespace {

std::string jobsText(std::uint32_t jobs) {
    return cat({Decimal(jobs), jobs == 1 ? " print job" : " print jobs"});
}

// The file name of a path, without its folder.
std::string fileNameOf(const std::string& path) {
    const auto slash = path.find_last_of("\\/");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

class Removal {
  public:
    Removal(Platform& p, InstallFeedback& f, RemovalReport& r, std::string dataFile)
        : platform_(p), report_(r), steps_(p.system, f, r), dataFile_(std::move(dataFile)) {}

    // The printer goes only when it uses this model's driver.
    void removePrinter() {
        const std::string& name = report_.printerName;
        const std::string step = cat({"Delete the printer \"", name, "\""});
        PrinterInfo2 printer;
        WinError e = platform_.spooler.getPrinter(name, printer);
        if (e == err::InvalidPrinterName) {
            steps_.note(cat({step, ": there is no such printer"}));
            return;
        }
        if (e != err::Success) {
            steps_.failed(cat({step, ": read it back"}), e);
            return;
        }
        if (!equalsIgnoringAsciiCase(printer.driverName, report_.driverName)) {
            report_.foreignPrinterDriver = printer.driverName;
            steps_.note(cat({step, ": kept, it is not this model's: its driver is \"",
                             printer.driverName, "\""}));
            return;
        }
        if ((printer.attributes & kPrinterAttributeShared) != 0 && !printer.shareName.empty()) {
            report_.shareName = printer.shareName;
            steps_.note(cat({"The printer \"", name, "\" is shared as \"", printer.shareName,
                             "\"; the share goes with it"}));
        }
        e = platform_.spooler.deletePrinter(name);
        if (e == err::Success && printer.jobs > 0) {
            // Deleting a printer with jobs only marks it: the spooler deletes it after them.
            report_.printerJobs = printer.jobs;
            steps_.failedWithoutCode(
                cat({"The printer \"", name, "\" still has ", jobsText(printer.jobs),
                     ": it is marked for deletion and goes when they end; its driver stays until "
                     "then, so run the removal again later"}));
        } else if (e == err::Success) {
            report_.printerRemoved = true;
            steps_.done(step);
        } else if (e == err::InvalidPrinterName) {
            steps_.note(cat({step, ": there is no such printer"}));
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
            if (equalsIgnoringAsciiCase(p.driverName, report_.driverName)) {
                report_.driverUsers.push_back(p.printerName);
            }
        }
        if (report_.driverUsers.empty()) {
            return true;
        }
        const bool several = report_.driverUsers.size() > 1;
        steps_.note(cat({"The driver \"", report_.driverName, "\" was kept: the printer",
                         several ? "s " : " ", joined(report_.driverUsers, quoted), " still use",
                         several ? "" : "s", " it"}));
        return false;
    }

    // Each registered version of the model's name whose data file is this model's goes.
    void removeDriver() {
        const std::string step = cat({"Delete the printer driver \"", report_.driverName,
                                      "\" for \"", report_.environment, "\""});
        std::vector<DriverInfo2> drivers;
        if (WinError e = platform_.spooler.enumPrinterDrivers(report_.environment, drivers);
            e != err::Success) {
            steps_.failed(cat({step, ": list the drivers to tell whose it is"}), e);
            return;
        }
        bool registered = false;
        for (const DriverInfo2& driver : drivers) {
            if (equalsIgnoringAsciiCase(driver.name, report_.driverName)) {
                registered = true;
                removeVersion(step, driver);
            }
        }
        if (!registered) {
            steps_.note(cat({step, ": there is no such driver"}));
        }
    }

  private:
    void removeVersion(const std::string& driverStep, const DriverInfo2& driver) {
        const std::string dataFile = fileNameOf(driver.dataFile);
        if (!equalsIgnoringAsciiCase(dataFile, dataFile_)) {
            report_.foreignDataFile = dataFile;
            steps_.note(cat({driverStep, ": kept, it is not this model's: its data file is \"",
                             dataFile, "\""}));
            return;
        }
        const std::string step = cat({driverStep, ", version ", Decimal(driver.version)});
        Spooler& spooler = platform_.spooler;
        WinError e = spooler.deletePrinterDriver(report_.environment, driver.name,
                                                 kDeleteUnusedFiles | kDeleteSpecificVersion,
                                                 driver.version);
        bool filesKept = false;
        if (e == err::InvalidParameter) {
            // A spooler that refuses every delete flag (Wine) still removes the registration.
            e = spooler.deletePrinterDriver(report_.environment, driver.name, 0, 0);
            filesKept = e == err::Success;
        }
        if (e == err::Success) {
            report_.driverRemoved = true;
            report_.driverFilesKept = report_.driverFilesKept || filesKept;
            steps_.note(step + (filesKept ? ": done; the spooler refused to delete the driver's "
                                            "files, so they stayed in its driver directory"
                                          : ": done, with the files no other driver uses"));
        } else if (e == err::UnknownPrinterDriver) {
            steps_.note(cat({step, ": there is no such driver"}));
        } else if (e == err::PrinterDriverInUse) {
            report_.driverUsers.push_back("(a printer the spooler did not name)");
            steps_.note(cat({step, ": kept, another printer still uses it"}));
        } else {
            steps_.failed(step, e);
        }
    }

    Platform& platform_;
    RemovalReport& report_;
    StepLog steps_;
    std::string dataFile_; // the model's data file, "TQ20P.GPD"
};

} // namespace

std::string RemovalReport::summary() const {
    const std::string& name = printerName;
    if (nothingToRemove) {
        return cat({"The printer \"", name, "\" is not installed: nothing to remove."});
    }
    if (printerJobs > 0) {
        return cat({"The printer \"", name, "\" is marked for deletion: it goes when its ",
                    jobsText(printerJobs),
                    " end. Its driver was kept until then: run the removal again later."});
    }
    if (!failures.empty()) {
        return cat({"The removal of \"", name,
                    "\" did not complete. These steps failed:", failureLines()});
    }
    std::string text;
    auto add = [&text](std::initializer_list<std::string_view> parts) {
        text += cat({text.empty() ? "" : " ", cat(parts)});
    };
    if (printerRemoved) {
        add({"The printer \"", name, "\"", shareName.empty() ? "" : " (shared as \"", shareName,
             shareName.empty() ? "" : "\")", " was removed."});
    } else if (!foreignPrinterDriver.empty()) {
        add({"The printer \"", name, "\" was kept: it is not this model's, its driver is \"",
             foreignPrinterDriver, "\"."});
    }
    const std::string driver =
        foreignPrinterDriver.empty() ? "Its driver" : cat({"The driver \"", driverName, "\""});
    if (driverRemoved) {
        add({driver, " was removed",
             driverFilesKept ? "; its files stayed in the driver directory." : "."});
    } else if (!foreignDataFile.empty()) {
        add({driver, " was kept: it is not this model's, its data file is \"", foreignDataFile,
             "\"."});
    } else if (!driverUsers.empty()) {
        add({driver, " was kept: ", joined(driverUsers, quoted),
             driverUsers.size() > 1 ? " still use it." : " still uses it."});
    }
    return text;
}

RemovalReport uninstall(Platform& platform, const InstallRequest& request,
                        InstallFeedback& feedback) {
    RemovalReport report;
    report.ran = true;
    report.driverName = printerNameOf(request.model);
    report.printerName = printerNameOf(request);
    if (report.driverName.empty()) {
        report.failWithoutCode("No printer model was selected");
        return report;
    }
    report.environment = deploymentFor(platform.system).environment;
    const auto model = static_cast<std::size_t>(request.model);
    Removal removal(platform, feedback, report, cat({gpdCodes[model], ".GPD"}));
    removal.removePrinter();
    // A printer that waits for its jobs still needs its driver.
    if (report.printerJobs == 0 && removal.driverUnused()) {
        removal.removeDriver();
    }
    report.nothingToRemove = report.failures.empty() && !report.printerRemoved &&
                             !report.driverRemoved && report.driverUsers.empty() &&
                             report.foreignPrinterDriver.empty() && report.foreignDataFile.empty();
    return report;
}

} // namespace vexo
