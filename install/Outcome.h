// What both front ends decide alike about a run: its exit code, the message that ends it
// and the lock that keeps one installation at a time on the machine. The wizard and the
// command line only show what these say.
#pragma once

#include "install/InstallReport.h"
#include "install/Removal.h"
#include "platform/System.h"

#include <cstdint>
#include <string>

namespace vexo {

// The exit code of a run: 0 when it completed, 1603 when a step failed, 1602 when it never
// ran (the user left first).
[[nodiscard]] int exitCodeOf(const RunReport& report);

// Who ends the run with a message.
enum class FrontEnd {
    Wizard,      // the settings page, after the port page closed
    CommandLine, // a command-line run without "/quiet"; its log gets `logLine`
};

// The message that ends a run. `text` is empty when nothing is shown.
struct FinalMessage {
    std::string text;
    std::uint32_t style = mb::Ok;
    std::string logLine; // the run's outcome in one line, for the log
};

// An installation's final message. The wizard announces completion only on the NT family
// (`ntFamily`) and in its plain box; a failure is reported on every version.
[[nodiscard]] FinalMessage finalMessageOf(const InstallReport& report, FrontEnd front,
                                          bool ntFamily);
// A removal's final message, its summary.
[[nodiscard]] FinalMessage finalMessageOf(const RemovalReport& report);

// The mutex held while a run installs or removes, across sessions; only Administrators and
// SYSTEM can make or open it (see LockService).
inline constexpr const char* kInstallMutexName = "VexoSetupInstall";
inline constexpr const char* kAnotherInstallText =
    "Another installation of the printer driver is running. Try again when it has finished.";

// What became of taking the installation mutex.
struct MutexTake {
    enum class Result {
        Taken,       // held now
        Abandoned,   // held now; the run that held it ended without releasing it
        Busy,        // another run holds it
        NotHonoured, // an object under its name that another user may have made: `why`
        Failed,      // it could not be created or opened: `error`
    };
    Result result = Result::Failed;
    WinError error = err::Success;
    std::string why;
    std::string name; // its full name ("Global\VexoSetupInstall"), for the log
};

// The installation lock: held, when it was taken, for as long as this object lives.
struct InstallLock {
    MutexTake take;
    InstallMutex mutex;

    // Another run holds it: this one must not go ahead. A lock that could not be taken, or
    // whose name bore something not honoured, lets the run go ahead without it.
    [[nodiscard]] bool busy() const { return take.result == MutexTake::Result::Busy; }
    // What the log says of the lock; empty when it was simply taken.
    [[nodiscard]] std::string logLine(System& system) const;
};

[[nodiscard]] InstallLock takeInstallLock(System& system);

} // namespace vexo
