#include "cli/UnattendedRun.h"

#include "cli/RecordFile.h"
#include "cli/RunLog.h"
#include "cli/UnattendedFeedback.h"
#include "install/DriverDeployment.h"
#include "install/ExitCodes.h"
#include "install/Outcome.h"
#include "install/PackageTrust.h"
#include "install/Removal.h"
#include "install/Undo.h"
#include "install/UsbPortBinding.h"
#include "platform/Text.h"

#include <algorithm>
#include <exception>

namespace vexo {

namespace {

class Run {
  public:
    // Nobody can answer a window in session 0, where deployment tools run programs: there
    // every run is quiet.
    Run(Platform& platform, const CommandLine& line)
        : platform_(platform), line_(line), log_(platform.system),
          quiet_(line.quiet || !platform.system.canShowWindows()) {}

    int execute(const std::string& commandLine);
    // The last resort for an exception that escaped the run: the log says so, and the exit
    // code is a failure's, never an abort's.
    int stopped(std::string_view what) {
        try {
            log_.line(cat({"The run stopped on an unexpected error: ", what}));
            return finish(kExitInstallFailed);
        } catch (...) {
            return kExitInstallFailed;
        }
    }

  private:
    void writeHeader(const std::string& commandLine);
    int finish(int code) {
        log_.line(cat({"Exit code ", Decimal(static_cast<std::uint64_t>(code))}));
        return code;
    }
    void show(const std::string& text, std::uint32_t style) {
        if (!quiet_) {
            (void)platform_.ui.messageBox(0, text, platform_.system.programTitle(), style);
        }
    }
    // Ends the run with its report's outcome: the log's line, the message, the exit code.
    int conclude(const RunReport& report, const FinalMessage& message) {
        log_.line(message.logLine);
        show(message.text, message.style);
        return finish(exitCodeOf(report));
    }
    // Refuses the run: nothing has changed.
    int refuse(std::string_view why) {
        log_.line(cat({"The command line was refused: ", why, ". Nothing was changed"}));
        show(cat({"The command line was refused: ", why, ".\r\n\r\n", usageText()}),
             mb::Ok | mb::IconError);
        return finish(kExitInvalidCommandLine);
    }
    // Puts the spooler's own spelling of the named port into the request. kExitSuccess, or the
    // exit code of a run that ends here.
    int settleNamedPort(InstallRequest& request);
    // Windows Installer starts the program's action in a folder of its own choosing, and a
    // startup script starts in System32: when the current folder holds no "Printer Driver"
    // folder and the program's own folder does, the program's folder becomes the current one,
    // the package that the check and the installation read.
    void findPackage();
    // Refuses a package that others than the administrators could change when the run is
    // elevated. kExitSuccess, or the exit code of a run that ends here.
    int checkPackage(const InstallRequest& request);
    int installNow(const InstallRequest& request);
    // A failed installation undoes what it changed, newest first.
    void undoInstallation(const InstallReport& report, InstallFeedback& feedback);
    int removeNow(const InstallRequest& request);
    // The record of "/rollback" or "/commit", checked: nullopt when the run goes on with it,
    // else the exit code of a run that ends here.
    std::optional<int> loadRecord(ReadRecord& record);
    int rollbackNow();
    int commitNow();
    // Deletes the record of "/rollback" or "/commit" (that run's own, checked), or where it
    // cannot, ends it as spent; false, logged, when neither could be done.
    bool discardRecord();
    // Opens the record file and appends what `write` writes; false, logged, when it cannot.
    template <class Write> bool writeRecord(RecordFile& file, const char* what, Write write);

    Platform& platform_;
    const CommandLine& line_;
    RunLog log_;
    const bool quiet_;
};

void Run::writeHeader(const std::string& commandLine) {
    System& system = platform_.system;
    log_.line(cat({"Command line: ", withSecretsHidden(commandLine, line_)}));
    const Architectures architectures = system.machineArchitectures();
    log_.line(cat(
        {system.programTitle(), " version ", kProgramVersion, ", ", programText(architectures)}));
    std::string windows = "Windows version unknown";
    if (std::optional<OsVersion> v = system.kernelVersion()) {
        windows = cat({"Windows ", Decimal(v->majorVersion), ".", Decimal(v->minorVersion),
                       " build ", Decimal(v->buildNumber)});
    }
    log_.line(cat({windows, architectureText(architectures)}));
    log_.line(cat({"Account: ", system.accountName(),
                   system.runsAsLocalSystem() ? " (the LocalSystem account)" : ""}));
}

int Run::settleNamedPort(InstallRequest& request) {
    std::vector<PortInfo2> ports;
    if (WinError e = platform_.spooler.enumPorts(ports); e != err::Success) {
        log_.line(StepFailures::describe(platform_.system, "List the spooler's ports", e));
        return finish(kExitInstallFailed);
    }
    const std::string& given = request.portName;
    for (const PortInfo2& p : ports) {
        std::string_view name = p.portName;
        if (equalsIgnoringAsciiCase(name, given) ||
            (name.ends_with(':') &&
             equalsIgnoringAsciiCase(name.substr(0, name.size() - 1), given))) {
            request.portName = p.portName;
            if (request.serialLine) {
                request.serialLine->portCode = p.portName;
            }
            return kExitSuccess;
        }
    }
    const std::string names = joined(ports, &PortInfo2::portName);
    return refuse(cat({"the spooler lists no port \"", given,
                       "\" (its ports: ", names.empty() ? "none" : std::string_view(names), ")"}));
}

void Run::findPackage() {
    System& system = platform_.system;
    std::string_view driverFolder = deploymentFor(system).sourceFolder;
    driverFolder = driverFolder.substr(0, driverFolder.find('\\')); // "Printer Driver"
    const std::string own = system.programFolder();
    const std::string here = system.currentDirectory();
    if (system.directoryExists(std::string(driverFolder)) || own.empty() ||
        !system.directoryExists(inFolder(own, driverFolder))) {
        return; // a missing package is the installation's to report
    }
    const std::string why =
        cat({"The current folder ", quoted(here), " holds no \"", driverFolder, "\" folder"});
    if (WinError e = system.changeDirectory(own); e != err::Success) {
        log_.line(StepFailures::describe(
            system, cat({why, "; take the driver package from the program's folder ", quoted(own)}),
            e));
        return;
    }
    log_.line(cat({why, ": the driver package is taken from the program's folder ", quoted(own)}));
}

int Run::checkPackage(const InstallRequest& request) {
    System& system = platform_.system;
    if (!checkedAsElevated(system.elevation())) {
        return kExitSuccess; // only an elevated run lends the package rights others lack
    }
    const std::optional<PackageExposure> exposure =
        findPackageExposure(system, deploymentFor(system), request.model);
    if (!exposure) {
        log_.line(cat({"Checked the driver package ", quoted(system.currentDirectory()),
                       ": only administrators and this account can change it"}));
        return kExitSuccess;
    }
    const std::string text = exposureText(system, *exposure);
    log_.line(cat({text, ". Nothing was changed"}));
    show(cat({text, "."}), mb::Ok | mb::IconError);
    return finish(kExitInstallFailed);
}

template <class Write> bool Run::writeRecord(RecordFile& file, const char* what, Write write) {
    const std::string& path = *line_.recordFile;
    std::string refusal;
    WinError e = file.isOpen() ? err::Success : file.open(path, refusal);
    if (e == err::Success) {
        e = write();
    }
    if (e == err::Success) {
        return true;
    }
    const std::string step = cat({what, " the change record ", quoted(path)});
    log_.line(refusal.empty() ? StepFailures::describe(platform_.system, step, e)
                              : cat({step, ": it is refused: ", refusal}));
    return false;
}

int Run::installNow(const InstallRequest& request) {
    findPackage();
    if (int code = checkPackage(request); code != kExitSuccess) {
        return code;
    }
    RecordFile record(platform_.system);
    if (line_.recordFile &&
        !writeRecord(record, "Start", [&] { return record.start(line_.token); })) {
        log_.line("Nothing was changed: a rollback could not undo this installation");
        return finish(kExitInstallFailed);
    }
    UnattendedFeedback feedback(platform_, log_, quiet_, &record);
    const InstallReport report = install(platform_, request, feedback);
    if (exitCodeOf(report) == kExitInstallFailed) {
        undoInstallation(report, feedback);
        if (record.isOpen()) {
            (void)writeRecord(record, "End", [&] { return record.spend(); });
        }
    }
    return conclude(report, finalMessageOf(report, FrontEnd::CommandLine, true));
}

void Run::undoInstallation(const InstallReport& report, InstallFeedback& feedback) {
    if (!report.changes.empty()) {
        log_.line("The installation failed: what it changed is undone, newest first");
        StepFailures failures;
        if (std::string why = undoRefusal(platform_.spooler, report.changes); !why.empty()) {
            log_.line(cat({"The undo is refused: ", why, ". Nothing was undone"}));
        } else {
            undoChanges(platform_, report.changes, feedback, failures);
            const std::size_t failed = failures.failures.size();
            log_.line(failed == 0 ? std::string("Everything the run changed was undone")
                                  : cat({Decimal(failed), failed == 1 ? " undo" : " undos",
                                         " failed: what ", failed == 1 ? "it names" : "they name",
                                         " stays as the run left it"}));
        }
    }
    if (report.driverRegisteredBefore) {
        log_.line(cat({"The printer driver ", quoted(printerNameOf(line_.request.model)),
                       " was registered before this run and stays registered, with the files "
                       "this run copied: its earlier files cannot be put back"}));
    }
}

std::optional<int> Run::loadRecord(ReadRecord& record) {
    System& system = platform_.system;
    const std::string& path = *line_.recordFile;
    const std::string name = cat({"The change record ", quoted(path)});
    std::string text;
    WinError e = system.readFile(path, kRecordFileLimit, text);
    if (e == err::FileNotFound || e == err::PathNotFound) {
        log_.line(cat({"There is no change record ", quoted(path), ": nothing to undo"}));
        return finish(kExitSuccess);
    }
    std::string folder = path.substr(0, path.find_last_of('\\'));
    if (folder.empty() || folder == path) {
        folder = system.currentDirectory();
    }
    if (const auto exposure = findExposure(system, {{path, false}, {folder, true}})) {
        log_.line(cat({name, " is not safe to undo: ", whoMayChange(system, *exposure),
                       ". Nothing was undone"}));
        return finish(kExitInstallFailed);
    }
    if (e != err::Success) {
        log_.line(StepFailures::describe(system, cat({"Read ", quoted(path)}), e));
        return finish(kExitInstallFailed);
    }
    record = readRecord(text);
    std::string why = record.fault;
    if (why.empty() && record.token == line_.token && !record.spent) {
        why = undoRefusal(platform_.spooler, record.changes);
    }
    if (!why.empty()) {
        log_.line(cat({name, " is refused: ", why, ". Nothing was undone"}));
        return finish(kExitInstallFailed);
    }
    if (record.token != line_.token) {
        log_.line(cat({name, " is not this installation's (its token is another): nothing was "
                             "undone"}));
        return finish(kExitSuccess);
    }
    if (record.spent || record.changes.empty()) {
        log_.line(cat({name, " holds nothing to undo"}));
        return finish(discardRecord() ? kExitSuccess : kExitInstallFailed);
    }
    return std::nullopt;
}

int Run::rollbackNow() {
    ReadRecord record;
    if (std::optional<int> code = loadRecord(record)) {
        return *code;
    }
    log_.line(cat({"Undo the installation of the change record ", quoted(*line_.recordFile),
                   ", newest change first"}));
    UnattendedFeedback feedback(platform_, log_, quiet_);
    StepFailures failures;
    undoChanges(platform_, record.changes, feedback, failures);
    const std::size_t failed = failures.failures.size();
    log_.line(failed == 0 ? std::string("Everything the installation changed was undone")
                          : cat({Decimal(failed), failed == 1 ? " undo" : " undos", " failed"}));
    const bool discarded = discardRecord();
    return finish(failed == 0 && discarded ? kExitSuccess : kExitInstallFailed);
}

int Run::commitNow() {
    ReadRecord record;
    if (std::optional<int> code = loadRecord(record)) {
        return *code;
    }
    log_.line("The installation stays as it is");
    return finish(discardRecord() ? kExitSuccess : kExitInstallFailed);
}

bool Run::discardRecord() {
    // Checked by loadRecord: only administrators can change the record and its folder.
    const std::string& path = *line_.recordFile;
    const WinError e = platform_.system.deleteFile(path);
    if (e == err::Success) {
        log_.line(cat({"Deleted the change record ", quoted(path)}));
        return true;
    }
    log_.line(StepFailures::describe(platform_.system,
                                     cat({"Delete the change record ", quoted(path)}), e));
    RecordFile file(platform_.system);
    return writeRecord(file, "End", [&] { return file.spend(); });
}

int Run::removeNow(const InstallRequest& request) {
    if (!quiet_ && platform_.ui.messageBox(0,
                                           cat({"Remove the printer \"", printerNameOf(request),
                                                "\" and its driver from this computer?"}),
                                           platform_.system.programTitle(),
                                           mb::YesNo | mb::IconQuestion) != IdYes) {
        log_.line("The user answered No: nothing was changed");
        return finish(kExitUserCancelled);
    }
    UnattendedFeedback feedback(platform_, log_, quiet_);
    const RemovalReport report = uninstall(platform_, request, feedback);
    return conclude(report, finalMessageOf(report));
}

int Run::execute(const std::string& commandLine) {
    if (line_.action == CliAction::Usage) {
        const std::string text = usageText();
        if (!platform_.system.writeToParentConsole(text) && !quiet_) {
            (void)platform_.ui.messageBox(0, text, platform_.system.programTitle(),
                                          mb::Ok | mb::IconInformation);
        }
        return kExitSuccess;
    }
    platform_.system.guardAgainstRedirection();
    log_.open(line_.logFile);
    writeHeader(commandLine);
    if (line_.action == CliAction::Wizard) {
        log_.line("Without arguments the program is the setup wizard, which needs a desktop: "
                  "nobody can see a window in this session (session 0, or a window station "
                  "that is not visible), so nothing was changed. Here the command line is "
                  "/quiet /model MODEL with the switches below");
        // The usage's lines one by one: the log keeps each text on a line of its own.
        const std::string usage = usageText();
        for (std::size_t from = 0; from < usage.size();) {
            const std::size_t end = std::min(usage.find('\n', from), usage.size());
            if (end > from) {
                log_.line(usage.substr(from, end - from));
            }
            from = end + 1;
        }
        return finish(kExitInvalidCommandLine);
    }
    if (quiet_ && !line_.quiet) {
        log_.line("Nobody can see a window in this session (session 0, or a window station "
                  "that is not visible): the run is quiet, as with /quiet");
    }
    if (line_.action == CliAction::Commit) {
        return commitNow();
    }
    if (line_.action != CliAction::Install && line_.action != CliAction::Uninstall &&
        line_.action != CliAction::Rollback) {
        return refuse(line_.error.empty() ? "nothing to do" : std::string_view(line_.error));
    }
    InstallRequest request = line_.request;
    // A port to be created is not listed yet.
    if (line_.action == CliAction::Install && request.port == PortChoice::Named &&
        !request.tcpPort) {
        if (int code = settleNamedPort(request); code != kExitSuccess) {
            return code;
        }
    }

    const InstallLock lock = takeInstallLock(platform_.system);
    if (std::string line = lock.logLine(platform_.system); !line.empty()) {
        log_.line(line);
    }
    if (lock.busy()) {
        show(kAnotherInstallText, mb::Ok | mb::IconExclamation);
        return finish(kExitAnotherInstall);
    }
    if (line_.action == CliAction::Rollback) {
        return rollbackNow();
    }
    return line_.action == CliAction::Install ? installNow(request) : removeNow(request);
}

} // namespace

int runUnattended(Platform& platform, const CommandLine& line, const std::string& commandLine) {
    Run run(platform, line);
    try {
        return run.execute(commandLine);
    } catch (const std::exception& e) {
        return run.stopped(e.what());
    } catch (...) {
        return run.stopped("an exception of an unknown kind");
    }
}

} // namespace vexo
