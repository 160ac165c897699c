// What the command line shows of itself: the usage, and the line as the log gives it.
#include "cli/CommandLine.h"
#include "cli/SwitchValues.h"
#include "cli/Switches.h"
#include "install/ExitCodes.h"
#include "platform/Text.h"

#include <string_view>
#include <utility>

namespace vexo {

std::string withSecretsHidden(std::string commandLine, const CommandLine& line) {
    for (const std::string& secret : line.secrets) {
        if (commandLine.find(secret) == std::string::npos) {
            return "(not shown: it holds an SNMP community)";
        }
        std::string shown;
        std::size_t from = 0;
        for (std::size_t at; (at = commandLine.find(secret, from)) != std::string::npos;
             from = at + secret.size()) {
            shown.append(commandLine, from, at - from).append("***");
        }
        commandLine = shown.append(commandLine, from);
    }
    return commandLine;
}

std::string usageText() {
    std::string text =
        "Usage:\n"
        "  VexoSetup.exe /quiet /model MODEL [/port auto|PORT] [/nodefault]\n"
        "                [/serial BAUD,PARITY,DATA,STOP,FLOW] [/log FILE]\n"
        "  VexoSetup.exe /quiet /model MODEL /ip HOST [/portnumber N | /lpr QUEUE]\n"
        "                [/snmp COMMUNITY] [/nodefault] [/log FILE]\n"
        "      and with either: [/name NAME] [/location TEXT] [/comment TEXT]\n"
        "                       [/paper NAME|NUMBER] [/orientation portrait|landscape]\n"
        "                       [/duplex none|long|short] [/color color|mono]\n"
        "  VexoSetup.exe [/quiet] /uninstall /model MODEL [/name NAME] [/log FILE]\n"
        "  VexoSetup.exe /?\n"
        "Without arguments the setup wizard starts.\n"
        "\n";
    for (const Switch& s : kSwitches) {
        text += s.usage;
    }
    const std::pair<std::string_view, std::string> lists[] = {
        {"{models}", listModels()},           {"{baud}", listCodes(baudCodes)},
        {"{parity}", listCodes(parityCodes)}, {"{data}", listCodes(dataBitsCodes)},
        {"{stop}", listCodes(stopBitsCodes)},
    };
    for (const auto& [mark, list] : lists) {
        text.replace(text.find(mark), mark.size(), list);
    }
    text += "Switches may begin with / or - and are read in any case; a value follows its switch\n"
            "or an = (/model=K20A).\n"
            "\n"
            "Exit codes:\n";
    const std::pair<int, const char*> codes[] = {
        {kExitSuccess, "done"},
        {kExitUserCancelled, "cancelled"},
        {kExitInstallFailed, "the installation failed"},
        {kExitAnotherInstall, "another installation is running"},
        {kExitInvalidCommandLine, "the command line is not valid"}};
    for (const auto& [code, meaning] : codes) {
        text += cat({"  ", Decimal(static_cast<std::uint64_t>(code)), code < 10 ? "     " : "  ",
                     meaning, "\n"});
    }
    return text;
}

} // namespace vexo
