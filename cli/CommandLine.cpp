#include "cli/CommandLine.h"

#include "cli/SwitchValues.h"
#include "cli/Switches.h"
#include "install/ExitCodes.h"
#include "install/ModelTables.h"
#include "install/NetworkPort.h"
#include "install/SerialLine.h"
#include "platform/Text.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstddef>
#include <iterator>
#include <span>
#include <string_view>
#include <tuple>
#include <utility>

namespace vexo {
namespace {

bool looksLikeSwitch(std::string_view arg) {
    return !arg.empty() && (arg[0] == '/' || arg[0] == '-');
}

// Whether `arg` asks for a quiet run in a spelling the parser may refuse: "/quiet=1",
// "-QUIET:", an en or em dash pasted from a document ("–quiet"), blanks around it. Such a
// line is refused all the same, but without a window that nobody may be there to close.
bool asksForQuiet(std::string_view arg) {
    auto skip = [&arg](std::string_view prefix) {
        const bool found = arg.substr(0, prefix.size()) == prefix;
        if (found) {
            arg.remove_prefix(prefix.size());
        }
        return found;
    };
    while (skip(" ") || skip("\t")) {
    }
    if (!(skip("/") || skip("-") || skip("\u2013") || skip("\u2014") || skip("\u2212"))) {
        return false;
    }
    if (arg.size() < 5 || !equalsIgnoringAsciiCase(arg.substr(0, 5), "quiet")) {
        return false;
    }
    const char next = arg.size() > 5 ? arg[5] : '\0';
    return !std::isalnum(static_cast<unsigned char>(next));
}

using enum Switch::Id;

// One switch as it was given.
struct Given {
    std::size_t position = 0; // index of its argument
    std::string text;         // as typed, with its value: "-MODEL k20a", "/log=x.log"
    std::string value;
    const Switch* row = nullptr;
};

using Givens = std::array<std::optional<Given>, Switch::kCount>;

// "'/lpr q': why".
std::string faultIn(const Given& given, std::string_view why) {
    return cat({"'", given.text, "'", why});
}

// The first given switch that does not go with the action that `action` asks for, named; empty
// when they all go with it.
std::string notGoingWith(const Givens& given, Switch::Id action) {
    const Switch& asking = *given[action]->row;
    for (const std::optional<Given>& g : given) {
        if (g && (g->row->actions & asking.actions) == 0) {
            return faultIn(*g, cat({" does not go with /", asking.name}));
        }
    }
    return "";
}

// Puts the Standard TCP/IP port of "/ip" into the request; what is wrong with the switches
// of the network port, empty when nothing is.
std::string takeNetworkPort(const Givens& given, InstallRequest& request) {
    if (!given[Ip]) {
        for (Switch::Id s : {PortNumber, Lpr, Snmp}) {
            if (given[s]) {
                return faultIn(*given[s], " needs /ip HOST");
            }
        }
        return "";
    }
    if (given[Port]) {
        return faultIn(*given[Port], " does not go with /ip");
    }
    if (given[PortNumber] && given[Lpr]) {
        return faultIn(*given[PortNumber], " does not go with /lpr");
    }
    // On a refusal the request goes unused.
    TcpPort& port = request.tcpPort.emplace();
    port.host = given[Ip]->value;
    port.portNumber = kRawPortNumber;
    // Each value's check, in the order of the switches.
    const std::pair<Switch::Id, const char*> checks[] = {
        {Ip, hostProblem(port.host)},
        {Lpr, given[Lpr] ? queueProblem(given[Lpr]->value) : nullptr},
        {Snmp, given[Snmp] ? communityProblem(given[Snmp]->value) : nullptr}};
    for (const auto& [s, why] : checks) {
        if (why != nullptr) {
            return faultIn(*given[s], why);
        }
    }
    if (given[PortNumber]) {
        std::optional<std::uint32_t> number = portNumberOf(given[PortNumber]->value);
        if (!number) {
            return faultIn(*given[PortNumber], ": not a port number from 1 to 65535");
        }
        port.portNumber = *number;
    }
    if (given[Lpr]) {
        port.protocol = kTcpLpr;
        port.portNumber = kLprPortNumber;
        port.queue = given[Lpr]->value;
    }
    if (given[Snmp]) {
        port.snmp = true;
        port.snmpCommunity = given[Snmp]->value;
        port.snmpDeviceIndex = 1;
    }
    port.name = tcpPortName(port);
    // The monitor keeps at most 63 characters of a name.
    if (port.name.size() > 63) {
        return cat({"'", given[given[Lpr] ? Lpr : Ip]->text, "': the port's name \"", port.name,
                    "\" would be longer than 63 characters"});
    }
    request.port = PortChoice::Named;
    request.portName = port.name;
    return "";
}

// A change record's switches: "/record FILE" beside an installation, "/rollback FILE" or
// "/commit FILE" on their own, each with "/token TOKEN". What is wrong with them, empty when
// nothing is; `done` when the line is a rollback or a commit.
std::string takeRecord(const Givens& given, CommandLine& line, bool& done) {
    done = false;
    const Switch::Id action = given[Rollback] ? Rollback : given[Commit] ? Commit : Record;
    if (!given[action]) {
        return given[Token] ? faultIn(*given[Token], " needs /record, /rollback or /commit") : "";
    }
    if (!given[Token]) {
        return faultIn(*given[action], " needs /token TOKEN");
    }
    const std::string& token = given[Token]->value;
    if (token.size() > 200 || std::any_of(token.begin(), token.end(), [](char c) {
            return static_cast<unsigned char>(c) < 0x20 || c == 0x7F;
        })) {
        return faultIn(*given[Token], ": a token has at most 200 characters and no control "
                                      "character");
    }
    line.recordFile = given[action]->value;
    line.token = token;
    if (action == Record) {
        return given[Uninstall] ? faultIn(*given[Record], " does not go with /uninstall") : "";
    }
    line.action = action == Rollback ? CliAction::Rollback : CliAction::Commit;
    done = true;
    return notGoingWith(given, action);
}

// The install or removal that a line of well-formed switches asks for, into `line`; what is
// wrong with it, empty when nothing is.
std::string takeRequest(const Givens& given, CommandLine& line) {
    bool done = false;
    if (std::string why = takeRecord(given, line, done); !why.empty() || done) {
        return why;
    }
    // Everything but "/?" goes with a model; without "/quiet" the run is still unattended,
    // only allowed to show its message boxes.
    if (!given[Model]) {
        const Given* first = nullptr;
        for (const std::optional<Given>& g : given) {
            if (g && (first == nullptr || g->position < first->position)) {
                first = &*g;
            }
        }
        return faultIn(*first, " needs /model MODEL");
    }
    std::optional<int> model = findModel(given[Model]->value);
    if (!model) {
        return faultIn(*given[Model], cat({": unknown model, not one of ", listModels()}));
    }
    line.request.model = *model;
    // What the printer keeps of these texts is shown and logged on one line.
    for (Switch::Id s : {Name, Location, Comment}) {
        if (!given[s]) {
            continue;
        }
        const char* why = controlCharacterProblem(given[s]->value);
        if (why == nullptr && s == Name) {
            why = printerNameProblem(given[s]->value);
        }
        if (why != nullptr) {
            return faultIn(*given[s], why);
        }
    }
    if (given[Name]) {
        line.request.printerName = given[Name]->value;
    }

    if (given[Uninstall]) {
        line.action = CliAction::Uninstall;
        return notGoingWith(given, Uninstall);
    }

    if (given[Port] && !equalsIgnoringAsciiCase(given[Port]->value, "auto")) {
        line.request.port = PortChoice::Named;
        line.request.portName = given[Port]->value;
    } else {
        line.request.port = PortChoice::Automatic;
        line.request.bindUsbPort = true;
    }
    if (std::string why = takeNetworkPort(given, line.request); !why.empty()) {
        return why;
    }
    for (auto [s, text] : {std::pair{Location, &InstallRequest::location},
                           std::pair{Comment, &InstallRequest::comment}}) {
        if (given[s]) {
            line.request.*text = given[s]->value;
        }
    }
    line.request.setDefaultPrinter = !given[NoDefault];
    // A run that ends 0 leaves the printer where the line asked, an existing one included.
    line.request.existingPrinter = ExistingPrinter::SetToRequest;
    // A run that fails undoes what it changed.
    line.request.keepRecord = true;

    if (given[Serial]) {
        std::optional<std::string> com;
        if (line.request.port == PortChoice::Named) {
            com = findComPort(line.request.portName);
        }
        if (!com) {
            return faultIn(*given[Serial], " needs /port COM1, COM2, COM3 or COM4");
        }
        std::string why;
        std::optional<SerialLine> serial = parseSerial(given[Serial]->value, why);
        if (!serial) {
            return faultIn(*given[Serial], cat({": ", why}));
        }
        serial->portCode = *com;
        line.request.serialLine = std::move(serial);
    }
    // The printing defaults for every user, each switch with its field and values.
    PrintingDefaults& defaults = line.request.defaults;
    for (auto [s, field, names] :
         {std::tuple{Paper, &PrintingDefaults::paper, std::span<const ValueName>()},
          std::tuple{Orientation, &PrintingDefaults::orientation,
                     std::span<const ValueName>(kOrientationNames)},
          std::tuple{Duplex, &PrintingDefaults::duplex, std::span<const ValueName>(kDuplexNames)},
          std::tuple{Color, &PrintingDefaults::color, std::span<const ValueName>(kColorNames)}}) {
        if (!given[s]) {
            continue;
        }
        std::string why;
        defaults.*field =
            s == Paper ? paperOf(given[s]->value, why) : valueOf(names, given[s]->value, why);
        if (!(defaults.*field)) {
            return faultIn(*given[s], why);
        }
    }
    line.action = CliAction::Install;
    return "";
}

} // namespace

CommandLine parseCommandLine(const std::vector<std::string>& args) {
    CommandLine line;
    if (args.empty()) {
        return line;
    }

    // Read every argument, keeping the first fault: "/?" anywhere still asks for the usage.
    Givens given;
    std::string error;
    auto fault = [&error](std::string text) {
        if (error.empty()) {
            error = std::move(text);
        }
    };
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (!looksLikeSwitch(arg)) {
            fault(cat({"'", arg, "' is a value without a switch"}));
            continue;
        }
        std::size_t equals = arg.find('=');
        std::string_view name = std::string_view(arg).substr(1, equals - 1);
        const Switch* row = std::ranges::find_if(
            kSwitches, [name](const Switch& s) { return equalsIgnoringAsciiCase(name, s.name); });
        if (row == std::end(kSwitches)) {
            fault(cat({"unknown switch '", arg, "'"}));
            continue;
        }
        Given g{i, arg, {}, row};
        if (row->value == Switch::None) {
            if (equals != std::string::npos) {
                fault(cat({"'", arg, "' takes no value"}));
                continue;
            }
        } else if (equals != std::string::npos) {
            g.value = arg.substr(equals + 1);
        } else if (i + 1 < args.size() && !looksLikeSwitch(args[i + 1])) {
            g.value = args[++i];
            g.text += " " + g.value;
        }
        if (row->value == Switch::Secret && !g.value.empty()) {
            line.secrets.push_back(g.value);
            g.text.resize(g.text.size() - g.value.size());
            g.text += "***";
        }
        if (row->value != Switch::None && g.value.empty()) {
            fault(cat({"'", arg, "' needs a value"}));
            continue;
        }
        if (given[row->id]) {
            fault(cat({"'", g.text, "' repeats '", given[row->id]->text, "'"}));
            continue;
        }
        given[row->id] = std::move(g);
    }

    line.quiet = given[Quiet].has_value() ||
                 std::any_of(args.begin(), args.end(),
                             [](const std::string& arg) { return asksForQuiet(arg); });
    if (given[Log]) {
        line.logFile = given[Log]->value;
    }
    if (given[Help]) {
        line.action = CliAction::Usage;
        return line;
    }
    if (error.empty()) {
        error = takeRequest(given, line);
    }
    if (!error.empty()) {
        line.action = CliAction::Invalid;
        line.error = std::move(error);
    }
    return line;
}

} // namespace vexo
