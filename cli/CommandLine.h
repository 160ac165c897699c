// The unattended command line as plain data: the arguments in, what to do and the
// installation request out. Nothing here touches the machine; whether a named port exists
// is for the installation to find out. The forms of the line are those usageText() shows,
// and for the MSI's actions "/record FILE /token TOKEN" beside an installation and
// "/rollback FILE" or "/commit FILE" with "/token TOKEN"; its switches are cli/Switches.h's.
//
// A switch begins with "/" or "-" and is matched without regard to case. A value follows its
// switch as the next argument, or after "=" in the same one ("/model=K20A"); the next
// argument is not taken as a value when it begins with "/" or "-" (give such a value with "="),
// so "/model /quiet" is a missing value rather than an unknown model.
#pragma once

#include "install/Installation.h"

#include <optional>
#include <string>
#include <vector>

namespace vexo {

enum class CliAction {
    Wizard,    // no arguments: the wizard as always
    Usage,     // "/?" or "-?": show the usage (it wins over anything else on the line)
    Install,   // "/model MODEL", quiet or not
    Uninstall, // "/uninstall /model MODEL"
    Rollback,  // "/rollback FILE /token TOKEN": undo the installation the record names
    Commit,    // "/commit FILE /token TOKEN": the installation stays; its record is spent
    Invalid,   // refused; `error` says why
};

struct CommandLine {
    CliAction action = CliAction::Wizard;
    // "/quiet": no window at all. Without it, "/model" still installs unattended but may
    // show its message boxes (the retry question, the completion or the failure). Set also
    // on an Invalid line, so that a refused quiet run stays quiet.
    bool quiet = false;
    InstallRequest request;
    std::optional<std::string> logFile; // "/log FILE", also kept on an Invalid line
    // "/record FILE" (an installation keeps its change record there), or the record of
    // "/rollback" and "/commit"; and the "/token" that names the run in the record.
    std::optional<std::string> recordFile;
    std::string token;
    std::string error; // Invalid: one line naming the argument at fault
    // The values given to "/snmp", also on an Invalid line: nothing the run writes shows them.
    std::vector<std::string> secrets;
};

// `args` are the arguments without the program name, in UTF-8.
CommandLine parseCommandLine(const std::vector<std::string>& args);

// `commandLine` as the log shows it: each of `line`'s secrets as ***. A line that holds a
// secret otherwise than as it was given (quotes inside it) is not shown.
std::string withSecretsHidden(std::string commandLine, const CommandLine& line);

// The usage lines, one line per switch and the exit codes; lines end in "\n".
std::string usageText();

} // namespace vexo
