// What the MSI's actions hand the program: its command line built from the package's
// properties, never by Windows Installer's formatting (which escapes nothing, so a quote or a
// trailing backslash in a value would end a switch early or swallow the next one). The
// immediate action decides the arguments and refuses bad values with the program's own
// parser before anything changes; the deferred actions get them as fields of their
// CustomActionData and start the program with a command line quoted as CommandLineToArgvW
// reads it.
#pragma once

#include "platform/Text.h"

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vexo {

// The properties are those of the switches (cli/Switches.h). A property given this value clears
// its kept value (for the connection: every kept one, back to the automatic choice).
inline constexpr std::string_view kClearValue = "-";

struct MsiProperties {
    std::string model;
    std::map<std::string, std::string> given; // the public properties as this run has them
    std::map<std::string, std::string> kept;  // the values the last successful run kept
    bool keptSnmp = false;                    // a community is kept in the locked key
    bool repair = false;                      // REINSTALL: only the kept values count
    std::string log;                          // the program's log
    std::string record, token;                // the change record and the run's token
};

// The installation the properties ask for.
struct MsiInstall {
    std::vector<std::string> args;           // the program's arguments
    std::map<std::string, std::string> keep; // the values to keep once it ends 0
    bool snmpFromKeptKey = false;            // "/snmp" comes from the locked key
    std::string error;                       // why the properties are refused, if they are
};

[[nodiscard]] MsiInstall msiInstall(const MsiProperties& properties);

// An argument as CommandLineToArgvW reads it back whole: quoted when it is empty or holds a
// blank or a quote, its quotes and the backslashes before them (or before the closing quote)
// escaped.
[[nodiscard]] std::string quotedArgument(std::string_view arg);
// The program's path and its arguments as one command line.
[[nodiscard]] std::string commandLineOf(const std::string& program,
                                        const std::vector<std::string>& args);

} // namespace vexo
