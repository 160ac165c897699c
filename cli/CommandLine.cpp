#include "cli/CommandLine.h"

#include "install/ExitCodes.h"
#include "install/ModelTables.h"
#include "install/SerialLine.h"
#include "platform/Text.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstddef>
#include <string_view>
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

enum Switch : std::size_t { Quiet, Uninstall, Model, Port, NoDefault, Serial, Log, Help, kCount };

struct SwitchSpec {
    const char* name;
    bool takesValue;
};

// Indexed by Switch.
constexpr std::array<SwitchSpec, kCount> kSwitches = {{{"quiet", false},
                                                       {"uninstall", false},
                                                       {"model", true},
                                                       {"port", true},
                                                       {"nodefault", false},
                                                       {"serial", true},
                                                       {"log", true},
                                                       {"?", false}}};

// One switch as it was given.
struct Given {
    std::size_t position = 0; // index of its argument
    std::string text;         // as typed, with its value: "-MODEL k20a", "/log=x.log"
    std::string value;
};

template <std::size_t N>
std::optional<std::string> findCode(const std::array<SerialCode, N>& table,
                                    std::string_view field) {
    for (const SerialCode& entry : table) {
        if (equalsIgnoringAsciiCase(field, entry.code)) {
            return std::string(entry.code);
        }
    }
    return std::nullopt;
}

template <std::size_t N> std::string listCodes(const std::array<SerialCode, N>& table) {
    std::string out;
    for (const SerialCode& entry : table) {
        out += (out.empty() ? "" : ", ") + std::string(entry.code);
    }
    return out;
}

std::string listModels() {
    std::string out;
    for (const char* code : modelCodes) {
        out += (out.empty() ? "" : ", ") + std::string(code);
    }
    return out;
}

std::optional<int> findModel(std::string_view value) {
    for (std::size_t i = 0; i < modelCodes.size(); ++i) {
        if (equalsIgnoringAsciiCase(value, modelCodes[i])) {
            return static_cast<int>(i);
        }
    }
    return std::nullopt;
}

// "COM3", "com3:" -> "COM3:"; nothing for a port that is not one of the serial ports.
std::optional<std::string> findComPort(std::string_view port) {
    if (!port.empty() && port.back() == ':') {
        port.remove_suffix(1);
    }
    for (std::size_t i = kLastParallelPort + 1; i < portCodes.size(); ++i) {
        if (equalsIgnoringAsciiCase(port, portCodes[i].label)) {
            return std::string(portCodes[i].code);
        }
    }
    return std::nullopt;
}

std::vector<std::string> splitFields(const std::string& value) {
    std::vector<std::string> fields;
    std::size_t from = 0;
    for (;;) {
        std::size_t comma = value.find(',', from);
        fields.push_back(value.substr(from, comma - from));
        if (comma == std::string::npos) {
            return fields;
        }
        from = comma + 1;
    }
}

// The five fields of "/serial" as codes of the settings tables, or what is wrong with them.
// The flow's None code is a single space; an empty field means it too.
std::optional<SerialLine> parseSerial(const std::string& value, std::string& error) {
    std::vector<std::string> fields = splitFields(value);
    if (fields.size() != 5) {
        error = "expected BAUD,PARITY,DATA,STOP,FLOW";
        return std::nullopt;
    }
    SerialLine line;
    auto take = [&](std::optional<std::string> code, const char* what, const std::string& field,
                    const std::string& allowed, std::string& into) {
        if (code) {
            into = *code;
            return true;
        }
        error = std::string(what) + " '" + field + "' is not one of " + allowed;
        return false;
    };
    std::optional<std::string> flow =
        fields[4].empty() ? findCode(flowCodes, " ") : findCode(flowCodes, fields[4]);
    if (take(findCode(baudCodes, fields[0]), "baud", fields[0], listCodes(baudCodes), line.baud) &&
        take(findCode(parityCodes, fields[1]), "parity", fields[1], listCodes(parityCodes),
             line.parity) &&
        take(findCode(dataBitsCodes, fields[2]), "data bits", fields[2], listCodes(dataBitsCodes),
             line.dataBits) &&
        take(findCode(stopBitsCodes, fields[3]), "stop bits", fields[3], listCodes(stopBitsCodes),
             line.stopBits) &&
        take(flow, "flow", fields[4], "x, p, or empty for none", line.flow)) {
        return line;
    }
    return std::nullopt;
}

CommandLine invalid(CommandLine line, std::string error) {
    line.action = CliAction::Invalid;
    line.error = std::move(error);
    return line;
}

} // namespace

CommandLine parseCommandLine(const std::vector<std::string>& args) {
    CommandLine line;
    if (args.empty()) {
        return line;
    }

    // Read every argument, keeping the first fault: "/?" anywhere still asks for the usage.
    std::array<std::optional<Given>, kCount> given;
    std::string error;
    auto fault = [&error](std::string text) {
        if (error.empty()) {
            error = std::move(text);
        }
    };
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (!looksLikeSwitch(arg)) {
            fault("'" + arg + "' is a value without a switch");
            continue;
        }
        std::size_t equals = arg.find('=');
        std::string_view name = std::string_view(arg).substr(1, equals - 1);
        std::size_t id = 0;
        while (id < kCount && !equalsIgnoringAsciiCase(name, kSwitches[id].name)) {
            ++id;
        }
        if (id == kCount) {
            fault("unknown switch '" + arg + "'");
            continue;
        }
        Given g{i, arg, {}};
        if (!kSwitches[id].takesValue) {
            if (equals != std::string::npos) {
                fault("'" + arg + "' takes no value");
                continue;
            }
        } else if (equals != std::string::npos) {
            g.value = arg.substr(equals + 1);
        } else if (i + 1 < args.size() && !looksLikeSwitch(args[i + 1])) {
            g.value = args[++i];
            g.text += " " + g.value;
        }
        if (kSwitches[id].takesValue && g.value.empty()) {
            fault("'" + arg + "' needs a value");
            continue;
        }
        if (given[id]) {
            fault("'" + g.text + "' repeats '" + given[id]->text + "'");
            continue;
        }
        given[id] = std::move(g);
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
    if (!error.empty()) {
        return invalid(std::move(line), std::move(error));
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
        return invalid(std::move(line), "'" + first->text + "' needs /model MODEL");
    }
    std::optional<int> model = findModel(given[Model]->value);
    if (!model) {
        return invalid(std::move(line),
                       "'" + given[Model]->text + "': unknown model, not one of " + listModels());
    }
    line.request.model = *model;

    if (given[Uninstall]) {
        for (Switch s : {Port, NoDefault, Serial}) {
            if (given[s]) {
                return invalid(std::move(line),
                               "'" + given[s]->text + "' does not go with /uninstall");
            }
        }
        line.action = CliAction::Uninstall;
        return line;
    }

    if (given[Port] && !equalsIgnoringAsciiCase(given[Port]->value, "auto")) {
        line.request.port = PortChoice::Named;
        line.request.portName = given[Port]->value;
    } else {
        line.request.port = PortChoice::Automatic;
        line.request.bindUsbPort = true;
    }
    line.request.setDefaultPrinter = !given[NoDefault];
    // A run that ends 0 leaves the printer where the line asked, an existing one included.
    line.request.existingPrinter = ExistingPrinter::SetToRequest;

    if (given[Serial]) {
        std::optional<std::string> com;
        if (line.request.port == PortChoice::Named) {
            com = findComPort(line.request.portName);
        }
        if (!com) {
            return invalid(std::move(line),
                           "'" + given[Serial]->text + "' needs /port COM1, COM2, COM3 or COM4");
        }
        std::string why;
        std::optional<SerialLine> serial = parseSerial(given[Serial]->value, why);
        if (!serial) {
            return invalid(std::move(line), "'" + given[Serial]->text + "': " + why);
        }
        serial->portCode = *com;
        line.request.serialLine = std::move(serial);
    }
    line.action = CliAction::Install;
    return line;
}

std::string usageText() {
    std::string text =
        "Usage:\n"
        "  VexoSetup.exe /quiet /model MODEL [/port auto|PORT] [/nodefault]\n"
        "                [/serial BAUD,PARITY,DATA,STOP,FLOW] [/log FILE]\n"
        "  VexoSetup.exe [/quiet] /uninstall /model MODEL [/log FILE]\n"
        "  VexoSetup.exe /?\n"
        "Without arguments the setup wizard starts.\n"
        "\n"
        "  /quiet        no windows at all; without it message boxes may appear\n"
        "  /model MODEL  the printer model: " +
        listModels() +
        "\n"
        "  /port auto    find the printer's port, trying each USB port in turn (the default)\n"
        "  /port PORT    use the port PORT, e.g. LPT1: or COM3:\n"
        "  /nodefault    do not make the printer the default printer\n"
        "  /serial B,P,D,S,F  the line settings of the COM port named by /port (COM1 to COM4):\n"
        "                baud " +
        listCodes(baudCodes) + "\n                parity " + listCodes(parityCodes) +
        "; data bits " + listCodes(dataBitsCodes) + "; stop bits " + listCodes(stopBitsCodes) +
        "\n                flow x (Xon/Xoff), p (hardware), or a space or nothing (none)\n"
        "                e.g. /port COM3 /serial 9600,E,7,1,x\n"
        "  /uninstall    remove the printer and its driver\n"
        "  /log FILE     write what happens to FILE\n"
        "  /?            show this text\n"
        "Switches may begin with / or - and are read in any case; a value follows its switch\n"
        "or an = (/model=K20A).\n"
        "\n"
        "Exit codes:\n";
    const std::array<std::pair<int, const char*>, 5> codes = {
        {{kExitSuccess, "done"},
         {kExitUserCancelled, "cancelled"},
         {kExitInstallFailed, "the installation failed"},
         {kExitAnotherInstall, "another installation is running"},
         {kExitInvalidCommandLine, "the command line is not valid"}}};
    for (const auto& [code, meaning] : codes) {
        std::string number = std::to_string(code);
        text += "  " + number + std::string(6 - number.size(), ' ') + meaning + "\n";
    }
    return text;
}

} // namespace vexo
