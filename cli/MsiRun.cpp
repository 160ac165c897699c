#include "cli/MsiRun.h"

#include "cli/CommandLine.h"
#include "cli/Switches.h"
#include "platform/Text.h"

#include <algorithm>

namespace vexo {

MsiInstall msiInstall(const MsiProperties& p) {
    MsiInstall out;
    auto value = [](const std::map<std::string, std::string>& from, const std::string& name) {
        const auto it = from.find(name);
        return it == from.end() || it->second.empty() ? std::optional<std::string>()
                                                      : std::optional(it->second);
    };
    // A repair uses only what was kept, whatever its command line says.
    auto given = [&](const std::string& name) {
        return p.repair ? std::optional<std::string>() : value(p.given, name);
    };
    const bool connectionGiven = std::ranges::any_of(kSwitches, [&](const Switch& s) {
        return s.msi.group == MsiGroup::Connection && given(s.msi.name);
    });
    for (const Switch& s : kSwitches) {
        const std::string name = s.msi.name;
        const bool fromKept = s.msi.group == MsiGroup::Connection ? !connectionGiven : !given(name);
        std::optional<std::string> v = fromKept ? value(p.kept, name) : given(name);
        const bool automatic = s.id == Switch::Port && v && equalsIgnoringAsciiCase(*v, "auto");
        if (s.msi.group != MsiGroup::None && v && *v != kClearValue && !automatic) {
            out.keep[name] = *v;
        }
    }
    out.snmpFromKeptKey = !connectionGiven && p.keptSnmp;
    // Run as LocalSystem, the program has no user's default printer to set: it is left alone
    // everywhere alike.
    out.args = {"/quiet", "/model", p.model, "/nodefault"};
    for (const auto& [name, v] : out.keep) {
        const auto s =
            std::ranges::find_if(kSwitches, [&](auto& row) { return name == row.msi.name; });
        // After "=", a value that begins with "/" or "-" stays a value.
        out.args.push_back(cat({"/", s->name, "=", v}));
    }
    for (const auto& [name, v] :
         {std::pair{"log", &p.log}, std::pair{"record", &p.record}, std::pair{"token", &p.token}}) {
        if (!v->empty()) {
            out.args.push_back(cat({"/", name, "=", *v}));
        }
    }
    // The program's own checks, before anything changes; a kept community was checked when
    // it was kept.
    std::vector<std::string> checked = out.args;
    if (out.snmpFromKeptKey && out.keep.count("IP") != 0) {
        checked.push_back("/snmp=public");
    }
    const CommandLine line = parseCommandLine(checked);
    if (line.action != CliAction::Install) {
        out.error = line.error.empty() ? "the properties ask for no installation" : line.error;
    }
    return out;
}

std::string quotedArgument(std::string_view arg) {
    if (!arg.empty() && arg.find_first_of(" \t\n\v\"") == std::string_view::npos) {
        return std::string(arg);
    }
    std::string out = "\"";
    std::size_t backslashes = 0;
    for (char c : arg) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        // Backslashes count only before a quote: there each is doubled, and the quote escaped.
        out.append(c == '"' ? backslashes * 2 + 1 : backslashes, '\\');
        out += c;
        backslashes = 0;
    }
    out.append(backslashes * 2, '\\'); // before the closing quote
    out += '"';
    return out;
}

std::string commandLineOf(const std::string& program, const std::vector<std::string>& args) {
    std::string line = quotedArgument(program);
    for (const std::string& arg : args) {
        line += ' ' + quotedArgument(arg);
    }
    return line;
}

} // namespace vexo
