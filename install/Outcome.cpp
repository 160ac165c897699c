#include "install/Outcome.h"

#include "install/ExitCodes.h"
#include "install/TrustRules.h"
#include "platform/Text.h"

namespace vexo {

namespace {

// "The installation did not complete: 2 steps failed": the log's line, after a line of each
// failed step.
std::string failedSteps(std::string_view run, std::size_t n) {
    return cat({run, " did not complete: ", Decimal(n), n == 1 ? " step" : " steps", " failed"});
}

} // namespace

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
        message.logLine = failedSteps("The installation", report.failures.size());
        message.text = report.failureMessage();
        message.style = mb::Ok | mb::IconError;
    }
    return message;
}

FinalMessage finalMessageOf(const RemovalReport& report) {
    FinalMessage message;
    message.text = report.summary();
    // A summary that lists the failed steps, each on a line of its own, is one line in the
    // log, which has a line of each step already.
    const std::string listed = report.failureLines();
    message.logLine = !listed.empty() && message.text.ends_with(listed)
                          ? failedSteps(cat({"The removal of ", quoted(report.printerName)}),
                                        report.failures.size())
                          : message.text;
    message.style = mb::Ok | (report.succeeded() ? mb::IconInformation : mb::IconError);
    return message;
}

std::string InstallLock::logLine(System& system) const {
    const std::string name = quoted(take.name);
    switch (take.result) {
    case MutexTake::Result::Taken:
        return "";
    case MutexTake::Result::Abandoned:
        return cat({"The previous installation ended without finishing (it left the lock ", name,
                    " abandoned); this run goes on"});
    case MutexTake::Result::Busy:
        return cat({"Another installation is running (it holds ", name, "); nothing was changed"});
    case MutexTake::Result::NotHonoured:
        return cat({"The lock ", name, " was not honoured: ", take.why,
                    ", so it is not this installer's; the run goes ahead without it"});
    case MutexTake::Result::Failed:
        break;
    }
    return StepFailures::describe(system, cat({"Take the lock ", name}), take.error) +
           "; the run goes ahead without it";
}

InstallLock takeInstallLock(System& system) {
    InstallLock lock;
    MutexTake& take = lock.take;
    const MutexFacts facts = system.openInstallMutex(
        kInstallMutexName, checkedAsElevated(system.elevation()), lock.mutex);
    take.name = facts.name;
    if (facts.opened == MutexFacts::Opened::Failed) {
        take.error = facts.error;
        return lock;
    }
    take.why = mutexRefusal(facts, trustedAccountsOf(system), [&system](const std::string& sid) {
        return system.accountNameOf(sid);
    });
    if (!take.why.empty()) {
        take.result = MutexTake::Result::NotHonoured;
        (void)lock.mutex.reset();
        return lock;
    }
    switch (system.takeMutex(lock.mutex, take.error)) {
    case MutexWait::Taken:
        take.result = MutexTake::Result::Taken;
        return lock;
    case MutexWait::Abandoned:
        take.result = MutexTake::Result::Abandoned;
        return lock;
    case MutexWait::Busy:
        take.result = MutexTake::Result::Busy;
        break;
    case MutexWait::Failed:
        break;
    }
    (void)lock.mutex.reset();
    return lock;
}

} // namespace vexo
