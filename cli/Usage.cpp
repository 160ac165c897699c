// What the command line shows of itself: the usage, and the line as the log gives it.
#include "cli/CommandLine.h"
#include "cli/SwitchValues.h"
#include "install/ExitCodes.h"
#include "platform/Text.h"

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
    std::string text = cat(
        {"Usage:\n"
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
         "\n"
         "  /quiet        no windows at all; without it message boxes may appear\n"
         "  /model MODEL  the printer model: ",
         listModels(),
         "\n"
         "  /port auto    find the printer's port, trying each USB port in turn (the default)\n"
         "  /port PORT    use the port PORT, e.g. LPT1: or COM3:\n"
         "  /ip HOST      the printer at HOST: create the TCP/IP port IP_HOST (RAW, 9100)\n"
         "  /portnumber N RAW on port N: the port IP_HOST_N\n"
         "  /lpr QUEUE    LPR to QUEUE: the port IP_HOST_QUEUE (IP_HOST_lpr+QUEUE if all digits)\n"
         "  /snmp COMMUNITY  ask the printer's status by SNMP\n"
         "  /name NAME    the printer's name (default: the model)\n"
         "  /location TEXT, /comment TEXT  shown to the printer's users\n"
         "  /nodefault    do not make the printer the default printer\n"
         "  /paper NAME|NUMBER  the paper for every user of the PC: a form name of Windows\n"
         "                (A4, Letter, Legal, A3, A5, B5 (JIS), B5 (ISO), ...) or its number\n"
         "  /orientation portrait|landscape, /duplex none|long|short (the edge bound),\n"
         "  /color color|mono  the orientation, two-sided printing and colour for every user\n"
         "  /serial B,P,D,S,F  the line settings of the COM port named by /port (COM1 to COM4):\n"
         "                baud ",
         listCodes(baudCodes), "\n                parity ", listCodes(parityCodes), "; data bits ",
         listCodes(dataBitsCodes), "; stop bits ", listCodes(stopBitsCodes),
         "\n                flow x (Xon/Xoff), p (hardware), or a space or nothing (none)\n"
         "                e.g. /port COM3 /serial 9600,E,7,1,x\n"
         "  /uninstall    remove the printer and its driver\n"
         "  /log FILE     write what happens to FILE\n"
         "  /?            show this text\n"
         "Switches may begin with / or - and are read in any case; a value follows its switch\n"
         "or an = (/model=K20A).\n"
         "\n"
         "Exit codes:\n"});
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
