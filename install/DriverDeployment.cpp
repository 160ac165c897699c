#include "install/DriverDeployment.h"

#include "install/ModelTables.h"
#include "platform/Text.h"

#include <array>
#include <iterator>
#include <tuple>

namespace vexo {

namespace {

class Deployment {
  public:
    Deployment(Platform& p, const DeploymentVariant& v, const InstallRequest& r, InstallFeedback& u,
               InstallReport& out, const PrinterInfo2* before)
        : platform_(p), variant_(v), request_(r), user_(u), report_(out), steps_(p.system, u, out),
          changes_(out.changes, u, r.keepRecord), before_(before) {}

    // The steps in their order, each recording what it changed.
    void run(const std::string& portName);

  private:
    // Where the files go and come from; false when no model was selected (nothing to do).
    bool findFolders();
    void copyPackage();
    void registerDriver();
    // Adds the printer on `port`, or settles the one of its name; why there is no printer of
    // this model afterwards, empty when there is.
    std::string addOrSettlePrinter(const std::string& port, PrinterHandle& printer);
    void setPrintingDefaults(const std::string& noPrinter);
    void makeDefaultPrinter(const std::string& noPrinter, const std::string& port);
    void saveSerialLine();

    void copy(std::string_view fileName);
    void copyAs(const std::string& source, const std::string& destination);
    // AddPrinter found a printer of the model's name: it is this model's when it uses the
    // model's driver, and is then set to `port` or kept, as the request says. Returns why
    // there is no printer of this model, empty when there is.
    std::string settleExistingPrinter(const std::string& step, const std::string& name,
                                      const std::string& port);
    // Writes a text value under an existing key; true when it was written.
    bool writeText(RegRoot root, const char* key, const std::string& name, const std::string& text,
                   const std::string& purpose);
    Platform& platform_;
    const DeploymentVariant& variant_;
    const InstallRequest& request_;
    InstallFeedback& user_;
    InstallReport& report_;
    StepLog steps_;
    ChangeLog changes_;
    // The printer of the request's name as it was before the run, when it was looked up and
    // found (the command line's runs look it up first).
    const PrinterInfo2* before_;
    std::string directory_;
    bool haveDirectory_ = false;
    bool havePackage_ = true;
    // The model's driver, the printer's name and the model's files, once a model is known.
    std::string driverName_;
    std::string name_;
    std::array<std::string, 8> files_;
};

void Deployment::copyAs(const std::string& source, const std::string& destination) {
    if (!haveDirectory_ || !havePackage_) {
        return; // no destination without the driver directory: nothing lands elsewhere
    }
    // A read-only copy from an earlier run (CopyFile carries the attribute over from a
    // read-only package) would refuse to be overwritten. Only a copy that can go ahead
    // touches it: without its source, the destination stays exactly as it was.
    if (platform_.system.fileExists(source)) {
        (void)platform_.system.clearReadOnly(destination);
    }
    // A file that was there stays replaced when the run is undone: it may be another driver's
    // too, and the spooler uses the copies in its version folders, not these.
    const bool existed = platform_.system.fileExists(destination);
    WinError e = platform_.system.copyFile(source, destination, false);
    if (!existed && changes_.keeping() && platform_.system.fileExists(destination)) {
        Change copied = Change::of(ChangeKind::FileCopied, destination);
        copied.environment = variant_.environment;
        changes_.add(std::move(copied));
    }
    const std::string step = cat({"Copy \"", source, "\" to \"", destination, "\""});
    if (e != err::Success) {
        steps_.failed(step, e);
    } else {
        steps_.done(step);
    }
}

std::string Deployment::settleExistingPrinter(const std::string& step, const std::string& name,
                                              const std::string& port) {
    report_.printerAlreadyExisted = true;
    PrinterInfo2 existing;
    if (WinError e = platform_.spooler.getPrinter(name, existing); e != err::Success) {
        steps_.failed(cat({step, ": the printer exists already; read it back"}), e);
        return "could not be read back";
    }
    // What a change puts back: the printer before this run, when it was looked up first.
    const PrinterInfo2& was = before_ != nullptr ? *before_ : existing;
    const Change::PrinterFields previous{was.portName, was.location, was.comment};
    if (!equalsIgnoringAsciiCase(existing.driverName,
                                 modelCodes[static_cast<std::size_t>(request_.model)])) {
        steps_.failedWithoutCode(
            cat({step, ": a printer of that name exists already, on the driver \"",
                 existing.driverName, "\", which is not this model's; it was left as it is"}));
        return "is not this model's";
    }
    report_.printerPort = existing.portName;
    const std::string found =
        cat({step, ": the printer exists already, on the port \"", existing.portName, "\""});
    // What the request sets that the printer lacks: "its port to "X", its location to "Y"".
    std::string set;
    auto change = [&set](std::string& field, const std::string& to, const char* what) {
        if (!to.empty() && field != to) {
            set += cat({set.empty() ? "its " : ", its ", what, " to \"", to, "\""});
            field = to;
        }
    };
    const bool samePort = equalsIgnoringAsciiCase(existing.portName, port);
    if (request_.existingPrinter == ExistingPrinter::Keep) {
        steps_.note(cat({found, samePort ? ", and keeps its settings"
                                         : ", and keeps it and its other settings"}));
        return "";
    }
    if (!samePort) {
        change(existing.portName, port, "port");
    }
    change(existing.location, request_.location, "location");
    change(existing.comment, request_.comment, "comment");
    if (set.empty()) {
        steps_.note(cat({found, ", and keeps its settings"}));
    } else if (WinError e = platform_.spooler.setPrinter(existing); e != err::Success) {
        // Everything else as it was read back; its device mode and security stay as they are.
        steps_.failed(cat({found, "; set ", set}), e);
    } else {
        Change changed = Change::of(ChangeKind::PrinterChanged, name);
        changed.before = previous;
        changes_.add(std::move(changed));
        if (!samePort) {
            report_.previousPort = report_.printerPort;
            report_.printerPort = port;
        }
        steps_.note(cat({found, ": ", set.replace(set.find(" to "), 4, " was set to "),
                         "; it keeps its other settings"}));
    }
    return "";
}

void Deployment::copy(std::string_view fileName) {
    copyAs(cat({variant_.sourceFolder, fileName}), cat({directory_, "\\", fileName}));
}

bool Deployment::writeText(RegRoot root, const char* key, const std::string& name,
                           const std::string& text, const std::string& purpose) {
    RegWrite w =
        writeRecorded(platform_.registry, changes_, root, key, name, reg::TypeSz, regSzData(text));
    if (!w.opened) {
        steps_.failed(cat({purpose, ": open the key \"", key, "\""}), w.error);
    } else if (w.error != err::Success) {
        user_.showRegistryError();
        steps_.failed(cat({purpose, ": write the value \"", name, "\""}), w.error);
    } else {
        steps_.done(purpose);
    }
    return w.succeeded();
}

void Deployment::registerDriver() {
    const std::string& driverName = driverName_;
    const std::string& modelDll = files_[0];
    const std::string& gpd = files_[1];
    DriverInfo3 driver;
    driver.version = 2;
    driver.name = driverName;
    driver.environment = variant_.environment;
    driver.driverPath = cat({directory_, "\\uniDRV.DLL"});
    driver.dataFile = cat({directory_, "\\", gpd});
    driver.configFile = cat({directory_, "\\uniDRVui.DLL"});
    driver.helpFile = cat({directory_, "\\uniDRV.HLP"});
    driver.dependentFiles = {"\\ttfsub.GPD", "\\unires.DLL", "\\stdnames.GPD", modelDll};
    // Deliberate: an empty monitor name, not none, as the installer always registered.
    driver.monitorName = "";
    driver.defaultDataType = "RAW";
    // Whether the spooler had it before, and which version it registers: an undo deletes
    // only a driver this run registered, and only that version.
    enum class Listed { Unknown, No, Yes };
    WinError listError = err::Success;
    auto registered = [&](std::uint32_t& version) {
        std::vector<DriverInfo2> drivers;
        listError = platform_.spooler.enumPrinterDrivers(variant_.environment, drivers);
        if (listError != err::Success) {
            return Listed::Unknown;
        }
        for (const DriverInfo2& d : drivers) {
            if (equalsIgnoringAsciiCase(d.name, driverName)) {
                version = d.version;
                return Listed::Yes;
            }
        }
        return Listed::No;
    };
    std::uint32_t version = driver.version;
    const Listed before = changes_.keeping() ? registered(version) : Listed::Unknown;
    const std::string step = cat({"Register the printer driver \"", driverName, "\""});
    if (changes_.keeping() && before == Listed::Unknown) {
        // Whether the run may delete it again cannot be told: it is not registered.
        steps_.failed(cat({step, ": find out whether it is registered already"}), listError);
        return;
    }
    const WinError e = platform_.spooler.addPrinterDriver(driver);
    if (e != err::Success) {
        steps_.failed(step, e);
        return;
    }
    steps_.done(step);
    report_.driverRegisteredBefore = before == Listed::Yes;
    if (before == Listed::No) {
        (void)registered(version);
        Change added = Change::of(ChangeKind::DriverRegistered, driverName);
        added.environment = variant_.environment;
        added.version = version;
        changes_.add(std::move(added));
    }
}

bool Deployment::findFolders() {
    WinError e = platform_.spooler.getPrinterDriverDirectory(variant_.environment, directory_);
    haveDirectory_ = e == err::Success && !directory_.empty();
    if (!haveDirectory_) {
        steps_.failed(cat({"Find the printer driver directory for \"", variant_.environment,
                           "\"; no file was copied and no driver was registered"}),
                      e == err::Success ? err::PathNotFound : e);
    }
    std::string package = variant_.sourceFolder;
    package.pop_back(); // without its trailing backslash
    if (!platform_.system.directoryExists(package)) {
        havePackage_ = false;
        std::string folder = platform_.system.currentDirectory();
        if (folder.empty() || folder.back() != '\\') {
            folder += '\\';
        }
        steps_.failedWithoutCode(cat({"The driver package folder \"", folder, package,
                                      "\" was not found: start the installer from the driver "
                                      "package"}));
    }
    const int model = request_.model;
    if (model < 0 || model >= static_cast<int>(kModelCount)) {
        steps_.failedWithoutCode("No printer model was selected");
        return false;
    }
    const auto m = static_cast<std::size_t>(model);
    driverName_ = modelCodes[m];
    name_ = printerNameOf(request_);
    files_ = driverFilesOf(m);
    report_.printerName = name_;
    return true;
}

void Deployment::copyPackage() {
    // The progress bar after each file; 0 where it stays.
    constexpr int kProgressAfter[] = {10, 20, 30, 0, 40, 0, 50, 60};
    static_assert(std::size(kProgressAfter) == std::tuple_size_v<decltype(files_)>);
    for (std::size_t i = 0; i < files_.size(); ++i) {
        copy(files_[i]);
        if (kProgressAfter[i] != 0) {
            user_.progress(kProgressAfter[i]);
        }
    }
}

std::string Deployment::addOrSettlePrinter(const std::string& port, PrinterHandle& printer) {
    if (port.empty()) {
        steps_.failedWithoutCode(
            cat({"No port was chosen, so the printer \"", name_, "\" was not added"}));
        return "was not added";
    }
    PrinterInfo2 info;
    info.printerName = name_;
    info.portName = port;
    info.driverName = driverName_;
    info.comment = request_.comment;
    info.location = request_.location;
    info.printProcessor = "WinPrint";
    info.datatype = "RAW";
    const std::string step = cat({"Add the printer \"", name_, "\" on the port \"", port, "\""});
    // A printer known to be there is settled, never added again (Wine's AddPrinter would
    // replace it).
    const WinError e = before_ != nullptr ? err::PrinterAlreadyExists
                                          : platform_.spooler.addPrinter(info, printer);
    if (e == err::PrinterAlreadyExists) {
        return settleExistingPrinter(step, name_, port);
    }
    if (e != err::Success) {
        steps_.failed(step, e);
        return "was not added";
    }
    changes_.add(Change::of(ChangeKind::PrinterAdded, name_));
    report_.printerPort = port;
    steps_.done(step);
    return "";
}

void Deployment::setPrintingDefaults(const std::string& noPrinter) {
    if (request_.defaults.any() && !noPrinter.empty()) {
        steps_.failedWithoutCode(cat(
            {"The printing defaults were not set, since the printer \"", name_, "\" ", noPrinter}));
    } else if (request_.defaults.any()) {
        vexo::setPrintingDefaults(platform_, name_, request_.defaults, steps_, changes_);
    }
}

void Deployment::makeDefaultPrinter(const std::string& noPrinter, const std::string& port) {
    if (!request_.setDefaultPrinter) {
        return;
    }
    if (!noPrinter.empty()) {
        // Naming a printer that is not this model's would only lose the user's default printer.
        steps_.failedWithoutCode(
            cat({"The default printer was left as it was, since the printer \"", name_, "\" ",
                 noPrinter}));
    } else if (platform_.system.runsAsLocalSystem()) {
        // The LocalSystem account's own default printer is one that no user ever sees.
        steps_.note("The default printer was left as it was: the installer runs as the "
                    "LocalSystem account, whose default printer is its own, not a user's");
    } else {
        report_.defaultPrinterSet = writeText(
            RegRoot::CurrentUser, kWindowsKey, kDefaultPrinterValue,
            cat({name_, ",winspool,", port}), cat({"Make \"", name_, "\" the default printer"}));
    }
}

void Deployment::saveSerialLine() {
    if (const auto& line = request_.serialLine) {
        if (line->complete()) {
            writeText(RegRoot::LocalMachine, kPortsKey, line->portCode, line->text(),
                      cat({"Save the line settings of \"", line->portCode, "\""}));
        } else {
            steps_.failedWithoutCode("The serial line settings are incomplete");
        }
    }
}

void Deployment::run(const std::string& portName) {
    if (!findFolders()) {
        user_.progress(100);
        return;
    }
    copyPackage();
    if (haveDirectory_) {
        registerDriver();
    }
    user_.progress(70);
    PrinterHandle printer;
    const std::string noPrinter = addOrSettlePrinter(portName, printer);
    setPrintingDefaults(noPrinter);
    user_.progress(80);
    makeDefaultPrinter(noPrinter, portName);
    user_.progress(90);
    saveSerialLine();
    user_.progress(95);
    (void)printer.reset();
    platform_.system.sleep(500);
    user_.progress(100);
}

} // namespace

const DeploymentVariant& deploymentFor(System& system) {
    return architectureOf(system).deployment;
}

void deployDriver(Platform& platform, const DeploymentVariant& variant,
                  const InstallRequest& request, InstallFeedback& user, const std::string& portName,
                  InstallReport& report, const PrinterInfo2* before) {
    report.ran = true;
    Deployment(platform, variant, request, user, report, before).run(portName);
}

} // namespace vexo
