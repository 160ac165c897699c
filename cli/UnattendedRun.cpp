#include "cli/UnattendedRun.h"

#include "cli/RunLog.h"
#include "install/DriverDeployment.h"
#include "install/ExitCodes.h"
#include "install/Removal.h"
#include "install/UsbPortBinding.h"

#include <cctype>

namespace vexo {

namespace {

bool sameNameNoCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i]))) {
            return false;
        }
    }
    return true;
}

// The port page's list has three rows (serial, USB, and a third); discovery's preferred row
// is selected when the list holds it, otherwise the USB row stays selected.
constexpr int kUsbRow = 1;
constexpr int kListRows = 3;

// What a person would have seen and answered, written to the log instead; without "/quiet"
// the message boxes still appear.
class UnattendedFeedback final : public InstallFeedback {
  public:
    UnattendedFeedback(Platform& platform, RunLog& log, bool quiet)
        : platform_(platform), log_(log), quiet_(quiet) {}

    void progress(int) override {}

    bool askRetryUsbPort() override {
        if (quiet_) {
            log_.line("No USB port brought the printer on line. Nobody is at the screen to "
                      "answer \"" +
                      std::string(kUsbRetryCaption) +
                      "\", so the installation goes on as after Cancel: the printer stays on "
                      "the port discovery chose");
            return false;
        }
        const bool retry =
            platform_.ui.messageBox(0, kUsbRetryText, kUsbRetryCaption, mb::RetryCancel) == IdRetry;
        log_.line(std::string("No USB port brought the printer on line; the user answered ") +
                  (retry ? "Retry" : "Cancel"));
        return retry;
    }

    void showRegistryError() override {
        log_.line(std::string("Message: ") + kRegistryErrorMessage);
        if (!quiet_) {
            (void)platform_.ui.messageBox(0, kRegistryErrorMessage, platform_.system.programTitle(),
                                          mb::Ok | mb::IconExclamation);
        }
    }

    int showDiscovery(const PortGroups& groups) override {
        return groups.preferredRow >= 0 && groups.preferredRow < kListRows ? groups.preferredRow
                                                                           : kUsbRow;
    }

    void note(const std::string& line) override { log_.line(line); }

  private:
    Platform& platform_;
    RunLog& log_;
    bool quiet_;
};

class Run {
  public:
    Run(Platform& platform, const CommandLine& line)
        : platform_(platform), line_(line), log_(platform.system) {}

    int execute(const std::string& commandLine);

  private:
    void writeHeader(const std::string& commandLine);
    int finish(int code) {
        log_.line("Exit code " + std::to_string(code));
        return code;
    }
    void show(const std::string& text, std::uint32_t style) {
        if (!line_.quiet) {
            (void)platform_.ui.messageBox(0, text, platform_.system.programTitle(), style);
        }
    }
    // Refuses the run: nothing has changed.
    int refuse(const std::string& why) {
        log_.line("The command line was refused: " + why + ". Nothing was changed");
        show("The command line was refused: " + why + ".\r\n\r\n" + usageText(),
             mb::Ok | mb::IconError);
        return finish(kExitInvalidCommandLine);
    }
    // The spooler's own spelling of the named port; empty when it lists no such port.
    int settleNamedPort(InstallRequest& request);
    int installNow(const InstallRequest& request);
    int removeNow(const InstallRequest& request);

    Platform& platform_;
    const CommandLine& line_;
    RunLog log_;
};

void Run::writeHeader(const std::string& commandLine) {
    System& system = platform_.system;
    log_.line("Command line: " + commandLine);
    log_.line(system.programTitle() + " version " + kProgramVersion + ", a " +
              std::to_string(sizeof(void*) * 8) + "-bit program");
    std::string windows = "Windows version unknown";
    if (std::optional<OsVersion> v = system.kernelVersion()) {
        windows = "Windows " + std::to_string(v->majorVersion) + "." +
                  std::to_string(v->minorVersion) + " build " + std::to_string(v->buildNumber);
    }
    const bool sixtyFour = system.queryIsWow64().value_or(false);
    windows += sixtyFour ? ", 64-bit" : ", 32-bit";
    if (sixtyFour && sizeof(void*) == 4) {
        windows += " (this program runs under WoW64)";
    }
    log_.line(windows);
    log_.line("Account: " + system.accountName() +
              (system.runsAsLocalSystem() ? " (the LocalSystem account)" : ""));
}

int Run::settleNamedPort(InstallRequest& request) {
    std::vector<PortInfo2> ports;
    if (WinError e = platform_.spooler.enumPorts(ports); e != err::Success) {
        log_.line("List the spooler's ports: " + platform_.system.errorText(e) + " (error " +
                  std::to_string(e) + ")");
        return kExitInstallFailed;
    }
    const std::string& given = request.portName;
    for (const PortInfo2& p : ports) {
        if (sameNameNoCase(p.portName, given) || sameNameNoCase(p.portName, given + ":")) {
            request.portName = p.portName;
            if (request.serialLine) {
                request.serialLine->portCode = p.portName;
            }
            return kExitSuccess;
        }
    }
    std::string names;
    for (const PortInfo2& p : ports) {
        names += (names.empty() ? "" : ", ") + p.portName;
    }
    return refuse("the spooler lists no port \"" + given +
                  "\" (its ports: " + (names.empty() ? "none" : names) + ")");
}

int Run::installNow(const InstallRequest& request) {
    UnattendedFeedback feedback(platform_, log_, line_.quiet);
    InstallReport report = install(platform_, request, feedback);
    if (report.succeeded()) {
        log_.line("Installed: the printer \"" + report.printerName + "\" on the port \"" +
                  report.portName + "\"");
        show(report.completionMessage(), mb::Ok | mb::IconInformation);
        return finish(kExitSuccess);
    }
    log_.line("The installation did not complete: " + std::to_string(report.failures.size()) +
              (report.failures.size() == 1 ? " step" : " steps") + " failed");
    show(report.failureMessage(), mb::Ok | mb::IconError);
    return finish(kExitInstallFailed);
}

int Run::removeNow(const InstallRequest& request) {
    const std::string name = printerNameOf(request.model);
    if (!line_.quiet &&
        platform_.ui.messageBox(
            0, "Remove the printer \"" + name + "\" and its driver from this computer?",
            platform_.system.programTitle(), mb::YesNo | mb::IconQuestion) != IdYes) {
        log_.line("The user answered No: nothing was changed");
        return finish(kExitUserCancelled);
    }
    UnattendedFeedback feedback(platform_, log_, line_.quiet);
    RemovalReport report = uninstall(platform_, request, feedback);
    log_.line(report.summary());
    if (report.succeeded()) {
        show(report.summary(), mb::Ok | mb::IconInformation);
        return finish(kExitSuccess);
    }
    show(report.summary(), mb::Ok | mb::IconError);
    return finish(kExitInstallFailed);
}

int Run::execute(const std::string& commandLine) {
    if (line_.action == CliAction::Usage) {
        const std::string text = usageText();
        if (!platform_.system.writeToParentConsole(text) && !line_.quiet) {
            (void)platform_.ui.messageBox(0, text, platform_.system.programTitle(),
                                          mb::Ok | mb::IconInformation);
        }
        return kExitSuccess;
    }
    log_.open(line_.logFile);
    writeHeader(commandLine);
    if (line_.action != CliAction::Install && line_.action != CliAction::Uninstall) {
        return refuse(line_.error.empty() ? "nothing to do" : line_.error);
    }
    InstallRequest request = line_.request;
    if (line_.action == CliAction::Install && request.port == PortChoice::Named) {
        if (int code = settleNamedPort(request); code != kExitSuccess) {
            return code == kExitInstallFailed ? finish(code) : code;
        }
    }

    SystemHandle lock;
    WinError e = platform_.system.takeNamedMutex(kInstallMutexName, lock);
    if (e == err::WaitTimeout) {
        log_.line("Another installation is running (it holds \"" + std::string(kInstallMutexName) +
                  "\"); nothing was changed");
        show(kAnotherInstallText, mb::Ok | mb::IconExclamation);
        return finish(kExitAnotherInstall);
    }
    if (e != err::Success) {
        log_.line("Take \"" + std::string(kInstallMutexName) +
                  "\": " + platform_.system.errorText(e) + " (error " + std::to_string(e) +
                  "); the run goes ahead without it");
    }
    return line_.action == CliAction::Install ? installNow(request) : removeNow(request);
}

} // namespace

int runUnattended(Platform& platform, const CommandLine& line, const std::string& commandLine) {
    return Run(platform, line).execute(commandLine);
}

} // namespace vexo
