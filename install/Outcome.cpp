#include "install/Outcome.h"

#include "install/ExitCodes.h"
#include "platform/Text.h"

namespace vexo {

int exitCodeOf(const RunReport& report) {
    if (!report.ran) {
        return kExitUserCancelled;
    }
    return report.succeeded() ? kExitSuccess : kExitInstallFailed;
}

FinalMessage finalMessageOf(const InstallReport& report, FrontEnd front, bool ntFamily) {
    FinalMessage message;
    if (report.succeeded()) {
        message.logLine = cat({"Installed: the printer ", quoted(report.printerName),
                               " on the port ", quoted(report.printerPort)});
        if (front == FrontEnd::CommandLine) {
            message.text = report.completionMessage();
            message.style = mb::Ok | mb::IconInformation;
        } else if (ntFamily) {
            message.text = report.completionMessage();
        }
    } else if (report.ran || front == FrontEnd::CommandLine) {
        const std::size_t n = report.failures.size();
        message.logLine = cat({"The installation did not complete: ", Decimal(n),
                               n == 1 ? " step" : " steps", " failed"});
        message.text = report.failureMessage();
        message.style = mb::Ok | mb::IconError;
    }
    return message;
}

FinalMessage finalMessageOf(const RemovalReport& report) {
    FinalMessage message;
    message.logLine = report.summary();
    message.text = message.logLine;
    message.style = mb::Ok | (report.succeeded() ? mb::IconInformation : mb::IconError);
    return message;
}

std::string InstallLock::logLine(System& system) const {
    switch (state) {
    case State::Held:
        return "";
    case State::Busy:
        return cat({"Another installation is running (it holds ", quoted(kInstallMutexName),
                    "); nothing was changed"});
    case State::NotTaken:
        break;
    }
    return StepFailures::describe(system, cat({"Take ", quoted(kInstallMutexName)}), error) +
           "; the run goes ahead without it";
}

InstallLock takeInstallLock(System& system) {
    InstallLock lock;
    lock.error = system.takeNamedMutex(kInstallMutexName, lock.handle);
    lock.state = lock.error == err::Success       ? InstallLock::State::Held
                 : lock.error == err::WaitTimeout ? InstallLock::State::Busy
                                                  : InstallLock::State::NotTaken;
    return lock;
}

} // namespace vexo
