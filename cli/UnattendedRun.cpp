#include "cli/UnattendedRun.h"

#include "cli/RunLog.h"
#include "install/DriverDeployment.h"
#include "install/ExitCodes.h"
#include "install/Outcome.h"
#include "install/PackageTrust.h"
#include "install/Removal.h"
#include "install/UsbPortBinding.h"
#include "platform/Text.h"

#include <algorithm>
#include <exception>

namespace vexo {

namespace {

// What a person would have seen and answered, written to the log instead; without "/quiet"
// the message boxes still appear.
class UnattendedFeedback final : public InstallFeedback {
  public:
    UnattendedFeedback(Platform& platform, RunLog& log, bool quiet)
        : platform_(platform), log_(log), quiet_(quiet) {}

    void progress(int) override {}

    bool askRetryUsbPort() override {
        if (quiet_) {
            log_.line(cat({"No USB port brought the printer on line. Nobody is at the screen to "
                           "answer \"",
                           kUsbRetryCaption,
                           "\", so the installation goes on as after Cancel: the printer stays "
                           "on the port discovery chose"}));
            return false;
        }
        const bool retry =
            platform_.ui.messageBox(0, kUsbRetryText, kUsbRetryCaption, mb::RetryCancel) == IdRetry;
        log_.line(cat({"No USB port brought the printer on line; the user answered ",
                       retry ? "Retry" : "Cancel"}));
        return retry;
    }

    void showRegistryError() override {
        log_.line(cat({"Message: ", kRegistryErrorMessage}));
        if (!quiet_) {
            (void)platform_.ui.messageBox(0, kRegistryErrorMessage, platform_.system.programTitle(),
                                          mb::Ok | mb::IconExclamation);
        }
    }

    void showDiscovery(const PortGroups&) override {}

    void note(const std::string& line) override { log_.line(line); }

  private:
    Platform& platform_;
    RunLog& log_;
    bool quiet_;
};

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
    int removeNow(const InstallRequest& request);

    Platform& platform_;
    const CommandLine& line_;
    RunLog log_;
    const bool quiet_;
};

void Run::writeHeader(const std::string& commandLine) {
    System& system = platform_.system;
    log_.line(cat({"Command line: ", withSecretsHidden(commandLine, line_)}));
    log_.line(cat({system.programTitle(), " version ", kProgramVersion, ", a ",
                   sizeof(void*) == 8 ? "64" : "32", "-bit program"}));
    std::string windows = "Windows version unknown";
    if (std::optional<OsVersion> v = system.kernelVersion()) {
        windows = cat({"Windows ", Decimal(v->majorVersion), ".", Decimal(v->minorVersion),
                       " build ", Decimal(v->buildNumber)});
    }
    const bool sixtyFour = system.queryIsWow64().value_or(false);
    log_.line(cat({windows, sixtyFour ? ", 64-bit" : ", 32-bit",
                   sixtyFour && sizeof(void*) == 4 ? " (this program runs under WoW64)" : ""}));
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
    if (!system.runsElevated()) {
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

int Run::installNow(const InstallRequest& request) {
    findPackage();
    if (int code = checkPackage(request); code != kExitSuccess) {
        return code;
    }
    UnattendedFeedback feedback(platform_, log_, quiet_);
    const InstallReport report = install(platform_, request, feedback);
    return conclude(report, finalMessageOf(report, FrontEnd::CommandLine, true));
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
    if (line_.action != CliAction::Install && line_.action != CliAction::Uninstall) {
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
