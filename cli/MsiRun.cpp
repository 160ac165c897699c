#include "cli/MsiRun.h"

#include "cli/CommandLine.h"
#include "platform/Text.h"

#include <algorithm>
#include <iterator>

namespace vexo {

namespace {

// Each property's switch.
const std::map<std::string, std::string>& switches() {
    static const std::map<std::string, std::string> names = {{"PORT", "port"},
                                                             {"IP", "ip"},
                                                             {"PORTNUMBER", "portnumber"},
                                                             {"LPR", "lpr"},
                                                             {"SNMP", "snmp"},
                                                             {"NAME", "name"},
                                                             {"LOCATION", "location"},
                                                             {"COMMENT", "comment"},
                                                             {"PAPER", "paper"},
                                                             {"ORIENTATION", "orientation"},
                                                             {"DUPLEX", "duplex"},
                                                             {"COLOR", "color"}};
    return names;
}

} // namespace

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
    const bool connectionGiven =
        std::any_of(std::begin(kConnectionProperties), std::end(kConnectionProperties),
                    [&](const char* name) { return given(name).has_value(); });
    for (const char* name : kConnectionProperties) {
        std::optional<std::string> v = connectionGiven ? given(name) : value(p.kept, name);
        const bool automatic =
            std::string_view(name) == "PORT" && v && equalsIgnoringAsciiCase(*v, "auto");
        if (v && *v != kClearValue && !automatic) {
            out.keep[name] = *v;
        }
    }
    out.snmpFromKeptKey = !connectionGiven && p.keptSnmp;
    for (const char* name : kPrinterProperties) {
        std::optional<std::string> v = given(name);
        if (!v) {
            v = value(p.kept, name);
        }
        if (v && *v != kClearValue) {
            out.keep[name] = *v;
        }
    }
    // Run as LocalSystem, the program has no user's default printer to set: it is left alone
    // everywhere alike.
    out.args = {"/quiet", "/model", p.model, "/nodefault"};
    for (const auto& [name, v] : out.keep) {
        // After "=", a value that begins with "/" or "-" stays a value.
        out.args.push_back(cat({"/", switches().at(name), "=", v}));
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
