#include "cli/CommandLine.h"
#include "install/ExitCodes.h"
#include "install/ModelTables.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vexo {
namespace {

// What a parsed line yields, on one line: the action, then for a run everything the
// request and the log say; for a refused line its error.
std::string describe(const CommandLine& line) {
    std::string quiet = line.quiet ? " quiet" : "";
    switch (line.action) {
    case CliAction::Wizard:
        return "wizard";
    case CliAction::Usage:
        return "usage";
    case CliAction::Invalid:
        return "invalid" + quiet + ": " + line.error;
    case CliAction::Rollback:
    case CliAction::Commit:
        return std::string(line.action == CliAction::Rollback ? "rollback" : "commit") + quiet +
               " " + *line.recordFile + " token=" + line.token;
    case CliAction::Install:
    case CliAction::Uninstall:
        break;
    }
    const InstallRequest& r = line.request;
    std::string out = line.action == CliAction::Install ? "install" : "uninstall";
    out += quiet + " " + modelCodes.at(static_cast<std::size_t>(r.model));
    if (line.action == CliAction::Install) {
        out += r.port == PortChoice::Automatic ? (r.bindUsbPort ? " auto" : " auto-unbound")
                                               : " port=" + r.portName;
        out += r.setDefaultPrinter ? "" : " nodefault";
        if (r.serialLine) {
            out += " serial=" + r.serialLine->portCode + "[" + r.serialLine->text() + "]";
        }
        if (const auto& p = r.tcpPort) {
            out += " tcp[" + p->name + " " + p->host +
                   (p->protocol == kTcpLpr ? " LPR " : " RAW ") + std::to_string(p->portNumber) +
                   " " + p->queue +
                   (p->snmp ? " SNMP " + p->snmpCommunity + " " + std::to_string(p->snmpDeviceIndex)
                            : "") +
                   "]";
        }
        out += r.location.empty() ? "" : " location=" + r.location;
        out += r.comment.empty() ? "" : " comment=" + r.comment;
        for (auto [field, label] : {std::pair{r.defaults.paper, " paper="},
                                    {r.defaults.orientation, " orientation="},
                                    {r.defaults.duplex, " duplex="},
                                    {r.defaults.color, " color="}}) {
            out += field ? label + std::to_string(*field) : "";
        }
    }
    out += r.printerName.empty() ? "" : " name=" + r.printerName;
    if (line.logFile) {
        out += " log=" + *line.logFile;
    }
    if (line.recordFile) {
        out += " record=" + *line.recordFile + " token=" + line.token;
    }
    return out;
}

std::string repeat(const std::string& text, int times) {
    std::string out;
    while (times-- > 0) {
        out += text;
    }
    return out;
}

struct Row {
    std::vector<std::string> args;
    std::string expected;
};

// clang-format off
const Row kRows[] = {
    {{}, "wizard"},
    {{"/?"}, "usage"},
    {{"-?"}, "usage"},
    {{"/quiet", "/bogus", "/?"}, "usage"},

    {{"/quiet", "/model", "K20A"}, "install quiet K20A auto"},
    {{"-QUIET", "-MODEL", "k30an"}, "install quiet K30AN auto"},
    {{"/port", "AUTO", "/quiet", "/model=k20aw"}, "install quiet K20AW auto"},
    // Without /quiet a model still installs, unattended but with its message boxes.
    {{"/model=m43", "/Port=LPT1:", "/nodefault", "/log=C:\\a=b.log"},
     "install M43 port=LPT1: nodefault log=C:\\a=b.log"},
    {{"/quiet", "/model", "K20A", "/port", "com3", "/serial", "9600,e,7,1,X"},
     "install quiet K20A port=com3 serial=COM3:[9600,E,7,1,x]"},
    {{"/quiet", "/model", "K20A", "/port", "Com4:", "/serial=115200,N,8,1.5,"},
     "install quiet K20A port=Com4: serial=COM4:[115200,N,8,1.5, ]"},
    {{"/quiet", "/model", "K20A", "/port", "COM1", "/serial", "300,S,5,2, "},
     "install quiet K20A port=COM1 serial=COM1:[300,S,5,2, ]"},
    {{"/quiet", "/model", "M41", "/port", "COM2", "/serial", "57600,o,6,2,P"},
     "install quiet M41 port=COM2 serial=COM2:[57600,O,6,2,p]"},
    {{"/uninstall", "/model", "K30A", "/log", "u.log"}, "uninstall K30A log=u.log"},
    {{"-quiet", "-Uninstall", "-model=k30al"}, "uninstall quiet K30AL"},

    {{"/quiet"}, "invalid quiet: '/quiet' needs /model MODEL"},
    {{"/uninstall"}, "invalid: '/uninstall' needs /model MODEL"},
    {{"/log", "x.log", "/quiet"}, "invalid quiet: '/log x.log' needs /model MODEL"},
    {{"/quiet", "/model", "K99"}, "invalid quiet: '/model K99': unknown model, not one of "
                                  "K20A, K20AW, K30A, K30AN, K30AL, M41, M42, M43"},
    {{"/quiet", "/model"}, "invalid quiet: '/model' needs a value"},
    {{"/model", "/quiet"}, "invalid quiet: '/model' needs a value"},
    {{"/model=", "/quiet"}, "invalid quiet: '/model=' needs a value"},
    {{"/quiet", "/model", "K20A", "K20AW"}, "invalid quiet: 'K20AW' is a value without a switch"},
    {{"K20A"}, "invalid: 'K20A' is a value without a switch"},
    {{"/quiet", "/model", "K20A", "-MODEL=K20AW"},
     "invalid quiet: '-MODEL=K20AW' repeats '/model K20A'"},
    {{"/quiet", "/Quiet", "/model", "K20A"}, "invalid quiet: '/Quiet' repeats '/quiet'"},
    // Quiet in a spelling the parser refuses is refused quietly: nobody may be there.
    {{"/quiet=yes", "/model", "K20A"}, "invalid quiet: '/quiet=yes' takes no value"},
    {{"-QUIET:", "/model", "K20A"}, "invalid quiet: unknown switch '-QUIET:'"},
    {{"\u2013quiet", "/model", "K20A"}, "invalid quiet: '\u2013quiet' is a value without a switch"},
    {{"\u2014Quiet", "/model", "K20A"}, "invalid quiet: '\u2014Quiet' is a value without a switch"},
    {{"/quiet ", "/model", "K20A"}, "invalid quiet: unknown switch '/quiet '"},
    {{" /quiet", "/model", "K20A"}, "invalid quiet: ' /quiet' is a value without a switch"},
    {{"/quietly", "/model", "K20A"}, "invalid: unknown switch '/quietly'"},
    {{"/q", "/model", "K20A"}, "invalid: unknown switch '/q'"},
    {{"/install", "/model", "K20A"}, "invalid: unknown switch '/install'"},
    {{"/", "/model", "K20A"}, "invalid: unknown switch '/'"},
    {{"/uninstall", "/model", "K20A", "/port", "COM3"},
     "invalid: '/port COM3' does not go with /uninstall"},
    {{"/uninstall", "/nodefault", "/model", "K20A"},
     "invalid: '/nodefault' does not go with /uninstall"},

    {{"/quiet", "/model", "K20A", "/serial", "9600,E,7,1,x"},
     "invalid quiet: '/serial 9600,E,7,1,x' needs /port COM1, COM2, COM3 or COM4"},
    {{"/quiet", "/model", "K20A", "/port", "auto", "/serial", "9600,E,7,1,x"},
     "invalid quiet: '/serial 9600,E,7,1,x' needs /port COM1, COM2, COM3 or COM4"},
    {{"/quiet", "/model", "K20A", "/port", "LPT1:", "/serial", "9600,E,7,1,x"},
     "invalid quiet: '/serial 9600,E,7,1,x' needs /port COM1, COM2, COM3 or COM4"},
    {{"/quiet", "/model", "K20A", "/port", "COM5", "/serial", "9600,E,7,1,x"},
     "invalid quiet: '/serial 9600,E,7,1,x' needs /port COM1, COM2, COM3 or COM4"},
    {{"/quiet", "/model", "K20A", "/port", "LPT3:", "/serial", "9600,E,7,1,x"},
     "invalid quiet: '/serial 9600,E,7,1,x' needs /port COM1, COM2, COM3 or COM4"},
    {{"/quiet", "/model", "K20A", "/port", "COM3", "/serial", "9600,E,7,1"},
     "invalid quiet: '/serial 9600,E,7,1': expected BAUD,PARITY,DATA,STOP,FLOW"},
    {{"/quiet", "/model", "K20A", "/port", "COM3", "/serial", "9600,E,7,1,x,x"},
     "invalid quiet: '/serial 9600,E,7,1,x,x': expected BAUD,PARITY,DATA,STOP,FLOW"},
    {{"/quiet", "/model", "K20A", "/port", "COM3", "/serial=9601,E,7,1,x"},
     "invalid quiet: '/serial=9601,E,7,1,x': baud '9601' is not one of "
     "300, 1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200"},
    {{"/quiet", "/model", "K20A", "/port", "COM3", "/serial", "9600,Even,7,1,x"},
     "invalid quiet: '/serial 9600,Even,7,1,x': parity 'Even' is not one of E, M, N, O, S"},
    {{"/quiet", "/model", "K20A", "/port", "COM3", "/serial", "9600,E,9,1,x"},
     "invalid quiet: '/serial 9600,E,9,1,x': data bits '9' is not one of 5, 6, 7, 8"},
    {{"/quiet", "/model", "K20A", "/port", "COM3", "/serial", "9600,E,7,3,x"},
     "invalid quiet: '/serial 9600,E,7,3,x': stop bits '3' is not one of 1, 1.5, 2"},
    {{"/quiet", "/model", "K20A", "/port", "COM3", "/serial", "9600,E,7,1,n"},
     "invalid quiet: '/serial 9600,E,7,1,n': flow 'n' is not one of x, p, or empty for none"},

    // A printer on the network: its port is made, named after the host (and the port number
    // or queue, so that one host's ports do not collide).
    {{"/quiet", "/model", "K20A", "/ip", "10.0.0.20", "/name", "2nd floor K20A", "/location",
      "2nd floor", "/comment", "by the lift"},
     "install quiet K20A port=IP_10.0.0.20 tcp[IP_10.0.0.20 10.0.0.20 RAW 9100 ] "
     "location=2nd floor comment=by the lift name=2nd floor K20A"},
    {{"/quiet", "/model", "K20A", "/IP=PRINTER-7.OFFICE.Zone", "/portnumber", "9100"},
     "install quiet K20A port=IP_PRINTER-7.OFFICE.Zone "
     "tcp[IP_PRINTER-7.OFFICE.Zone PRINTER-7.OFFICE.Zone RAW 9100 ]"},
    {{"/model", "K30AN", "/ip", "0.0.0.255", "/portnumber=65535", "/snmp", "pub!ic", "/nodefault"},
     "install K30AN port=IP_0.0.0.255_65535 nodefault tcp[IP_0.0.0.255_65535 0.0.0.255 RAW "
     "65535  SNMP pub!ic 1]"},
    {{"/quiet", "/model", "M41", "/ip", std::string(20, 'h'), "/lpr", "Q1_Z.a-" + std::string(25, 'q')},
     "install quiet M41 port=IP_" + std::string(20, 'h') + "_Q1_Z.a-" + std::string(25, 'q') +
         " tcp[IP_" + std::string(20, 'h') + "_Q1_Z.a-" + std::string(25, 'q') + " " +
         std::string(20, 'h') + " LPR 515 Q1_Z.a-" + std::string(25, 'q') + "]"},
    // Digits alone are the RAW port's name: such a queue's name is of a form no queue has.
    {{"/quiet", "/model", "K20A", "/ip", "h", "/lpr", "9101"},
     "install quiet K20A port=IP_h_lpr+9101 tcp[IP_h_lpr+9101 h LPR 515 9101]"},
    {{"/quiet", "/model", "K20A", "/ip", "h", "/lpr", "lpr_9101"},
     "install quiet K20A port=IP_h_lpr_9101 tcp[IP_h_lpr_9101 h LPR 515 lpr_9101]"},
    {{"/quiet", "/model", "K20A", "/ip", "h", "/lpr", "9101.a"},
     "install quiet K20A port=IP_h_9101.a tcp[IP_h_9101.a h LPR 515 9101.a]"},
    {{"/quiet", "/model", "K20A", "/ip", std::string(48, 'h')},
     "install quiet K20A port=IP_" + std::string(48, 'h') + " tcp[IP_" + std::string(48, 'h') +
         " " + std::string(48, 'h') + " RAW 9100 ]"},
    // A name's length is counted in UTF-16 units, as Windows counts it.
    {{"/quiet", "/model", "K20A", "/port", "LPT1:", "/name", repeat("\U0001F5A8", 110)},
     "install quiet K20A port=LPT1: name=" + repeat("\U0001F5A8", 110)},
    {{"/quiet", "/model", "K20A", "/name", repeat("\U0001F5A8", 110) + "a"},
     "invalid quiet: '/name " + repeat("\U0001F5A8", 110) +
         "a': a printer's name has at most 220 characters and no \\ or ,"},
    {{"/uninstall", "/model", "K20A", "/name", "Front desk"}, "uninstall K20A name=Front desk"},

    {{"/quiet", "/model", "K20A", "/ip", "10.0.0.20", "/port", "LPT1:"},
     "invalid quiet: '/port LPT1:' does not go with /ip"},
    {{"/quiet", "/model", "K20A", "/portnumber", "9101"},
     "invalid quiet: '/portnumber 9101' needs /ip HOST"},
    {{"/quiet", "/model", "K20A", "/port", "LPT1:", "/lpr", "lp1"},
     "invalid quiet: '/lpr lp1' needs /ip HOST"},
    {{"/quiet", "/model", "K20A", "/snmp=public"}, "invalid quiet: '/snmp=***' needs /ip HOST"},
    {{"/quiet", "/model", "K20A", "/ip", "h", "/portnumber", "9101", "/lpr", "lp1"},
     "invalid quiet: '/portnumber 9101' does not go with /lpr"},
    {{"/quiet", "/model", "K20A", "/ip", "10.0.0.256"},
     "invalid quiet: '/ip 10.0.0.256': not an IPv4 address (four numbers 0 to 255) or a host "
     "name (letters, digits, . and -, at most 48 characters)"},
    {{"/quiet", "/model", "K20A", "/ip", "10.0.0"},
     "invalid quiet: '/ip 10.0.0': not an IPv4 address (four numbers 0 to 255) or a host name "
     "(letters, digits, . and -, at most 48 characters)"},
    {{"/quiet", "/model", "K20A", "/ip", "printer_3"},
     "invalid quiet: '/ip printer_3': not an IPv4 address (four numbers 0 to 255) or a host "
     "name (letters, digits, . and -, at most 48 characters)"},
    {{"/quiet", "/model", "K20A", "/ip", std::string(49, 'h')},
     "invalid quiet: '/ip " + std::string(49, 'h') +
         "': not an IPv4 address (four numbers 0 to 255) or a host name (letters, digits, . and "
         "-, at most 48 characters)"},
    {{"/quiet", "/model", "K20A", "/ip", "h", "/portnumber", "0"},
     "invalid quiet: '/portnumber 0': not a port number from 1 to 65535"},
    {{"/quiet", "/model", "K20A", "/ip", "h", "/portnumber", "65536"},
     "invalid quiet: '/portnumber 65536': not a port number from 1 to 65535"},
    {{"/quiet", "/model", "K20A", "/ip", "h", "/portnumber", "9a"},
     "invalid quiet: '/portnumber 9a': not a port number from 1 to 65535"},
    {{"/quiet", "/model", "K20A", "/ip", "h", "/portnumber", "1"},
     "install quiet K20A port=IP_h_1 tcp[IP_h_1 h RAW 1 ]"},
    {{"/quiet", "/model", "K20A", "/ip", "h", "/lpr", "lp/1"},
     "invalid quiet: '/lpr lp/1': a queue is letters, digits, -, _ and ., at most 32 characters"},
    {{"/quiet", "/model", "K20A", "/ip", "h", "/lpr", std::string(33, 'q')},
     "invalid quiet: '/lpr " + std::string(33, 'q') +
         "': a queue is letters, digits, -, _ and ., at most 32 characters"},
    {{"/quiet", "/model", "K20A", "/ip", std::string(30, 'h'), "/lpr", std::string(30, 'q')},
     "invalid quiet: '/lpr " + std::string(30, 'q') + "': the port's name \"IP_" +
         std::string(30, 'h') + "_" + std::string(30, 'q') +
         "\" would be longer than 63 characters"},
    {{"/quiet", "/model", "K20A", "/ip", "h", "/snmp=pub lic"},
     "invalid quiet: '/snmp=***': an SNMP community is at most 32 letters, digits or "
     "punctuation, without blanks, quotes or \\"},
    {{"/quiet", "/model", "K20A", "/ip", "h", "/snmp", std::string(33, 'c')},
     "invalid quiet: '/snmp ***': an SNMP community is at most 32 letters, digits or "
     "punctuation, without blanks, quotes or \\"},
    {{"/quiet", "/model", "K20A", "/name", "Front, desk"},
     "invalid quiet: '/name Front, desk': a printer's name has at most 220 characters and no \\ "
     "or ,"},
    {{"/quiet", "/model", "K20A", "/name", "Front\\desk"},
     "invalid quiet: '/name Front\\desk': a printer's name has at most 220 characters and no \\ "
     "or ,"},
    // What the printer keeps stays on one line; bytes of other characters are no controls.
    {{"/quiet", "/model", "K20A", "/name", "Office\r\nExit code 0"},
     "invalid quiet: '/name Office\r\nExit code 0': a line break, a tab or another control "
     "character is not allowed in it"},
    {{"/model", "K20A", "/location", "2nd\x1f floor"},
     "invalid: '/location 2nd\x1f floor': a line break, a tab or another control character is not "
     "allowed in it"},
    {{"/model", "K20A", "/comment=lift\x7f"},
     "invalid: '/comment=lift\x7f': a line break, a tab or another control character is not "
     "allowed in it"},
    {{"/model", "K20A", "/port", "LPT1:", "/name", "B\u00fcro \u00a0~", "/location", "\u2028"},
     "install K20A port=LPT1: location=\u2028 name=B\u00fcro \u00a0~"},
    {{"/uninstall", "/model", "K20A", "/ip", "10.0.0.20"},
     "invalid: '/ip 10.0.0.20' does not go with /uninstall"},
    // The MSI's actions: an installation keeps its record; the rollback and the commit name
    // only the record, its token, and where to log.
    {{"/quiet", "/model", "K20A", "/record", "C:\\P\\r.txt", "/token=12/8/2026 10:00:01"},
     "install quiet K20A auto record=C:\\P\\r.txt token=12/8/2026 10:00:01"},
    {{"/quiet", "/rollback", "C:\\P\\r.txt", "/token", "t1", "/log", "x.log"},
     "rollback quiet C:\\P\\r.txt token=t1"},
    {{"/commit", "r.txt", "/token", "t1"}, "commit r.txt token=t1"},
    {{"/quiet", "/model", "K20A", "/record", "r.txt"}, "invalid quiet: '/record r.txt' needs /token TOKEN"},
    {{"/quiet", "/model", "K20A", "/token", "t"}, "invalid quiet: '/token t' needs /record, /rollback or /commit"},
    {{"/quiet", "/rollback", "r.txt", "/token", "t", "/model", "K20A"},
     "invalid quiet: '/model K20A' does not go with /rollback"},
    {{"/quiet", "/uninstall", "/model", "K20A", "/record", "r.txt", "/token", "t"},
     "invalid quiet: '/record r.txt' does not go with /uninstall"},
    // The printing defaults for every user: Windows' form names or numbers, and the words.
    {{"/quiet", "/model", "K20A", "/paper", "a4", "/orientation", "Landscape", "/duplex", "long",
      "/color", "MONO"},
     "install quiet K20A auto paper=9 orientation=2 duplex=2 color=1"},
    {{"/model", "K20A", "/ip", "h", "/paper=b5 (iso)", "/orientation=portrait", "/duplex=short",
      "/color=color"},
     "install K20A port=IP_h tcp[IP_h h RAW 9100 ] paper=34 orientation=1 duplex=3 color=2"},
    {{"/model", "K20A", "/paper", "B5 (JIS)", "/duplex", "none"},
     "install K20A auto paper=13 duplex=1"},
    {{"/model", "K20A", "/paper", "00260"}, "install K20A auto paper=260"},
    {{"/model", "K20A", "/paper", "B5"},
     "invalid: '/paper B5': that may be B5 (JIS) or B5 (ISO); name one"},
    {{"/model", "K20A", "/paper", "A4 (ISO)"},
     "invalid: '/paper A4 (ISO)': not the name of a form Windows has (A4, Letter, Legal, A3, A5, "
     "B5 (JIS), B5 (ISO), ...) or a paper number"},
    {{"/model", "K20A", "/paper", "32768"}, "invalid: '/paper 32768': a paper number is 1 to 32767"},
    {{"/model", "K20A", "/duplex", "both"}, "invalid: '/duplex both': not one of none, long, short"},
    {{"/uninstall", "/model", "K20A", "/color", "mono"},
     "invalid: '/color mono' does not go with /uninstall"},
    {{"/quiet", "/commit", "r.txt", "/token=a\tb"},
     "invalid quiet: '/token=a\tb': a token has at most 200 characters and no control character"},
};
// clang-format on

TEST(CommandLineTest, EachLineYieldsExactlyThis) {
    for (const Row& row : kRows) {
        std::string line;
        for (const std::string& arg : row.args) {
            line += " [" + arg + "]";
        }
        EXPECT_EQ(describe(parseCommandLine(row.args)), row.expected) << "arguments:" << line;
    }
}

TEST(CommandLineTest, UsageNamesEverySwitchModelAndExitCode) {
    std::string text = usageText();
    std::vector<std::string> wanted = {"/quiet",     "/model", "/port", "/nodefault", "/serial",
                                       "/uninstall", "/log",   "/?",    "/ip HOST",   "/portnumber",
                                       "/lpr",       "/snmp",  "/name", "/location",  "/comment"};
    wanted.insert(wanted.end(), {"/paper NAME|NUMBER", "/orientation portrait|landscape",
                                 "/duplex none|long|short", "/color color|mono"});
    wanted.insert(wanted.end(), modelCodes.begin(), modelCodes.end());
    // The codes in a column of their own, their meanings lined up after it.
    wanted.insert(wanted.end(), {"\n  0     done\n", "\n  1602  cancelled\n",
                                 "\n  1603  the installation failed\n",
                                 "\n  1618  another installation is running\n",
                                 "\n  1639  the command line is not valid\n"});
    for (const std::string& w : wanted) {
        EXPECT_NE(text.find(w), std::string::npos) << w << " missing from:\n" << text;
    }
    EXPECT_EQ(text.find_first_of("{}"), std::string::npos) << "a list not filled in:\n" << text;
}

// Beside a removal only a name and the log; beside a rollback or a commit only the log. Any
// other switch is named as the one that does not go.
TEST(CommandLineTest, EachSwitchGoesOnlyWithItsActions) {
    // clang-format off
    const std::vector<std::string> installing = {
        "/port=LPT1:", "/nodefault", "/serial=9600,E,7,1,x", "/ip=h", "/portnumber=1", "/lpr=q",
        "/snmp=***", "/location=l", "/comment=c", "/paper=A4", "/orientation=portrait",
        "/duplex=none", "/color=mono"};
    // clang-format on
    std::vector<std::string> notCommitting = installing;
    notCommitting.insert(notCommitting.end(),
                         {"/model=K20A", "/uninstall", "/name=N", "/record=r"});
    std::vector<std::string> notRollingBack = notCommitting;
    notRollingBack.push_back("/commit=r");
    const struct {
        std::vector<std::string> line, going, refused;
    } cases[] = {
        {{"/uninstall", "/model=K20A"}, {"/quiet", "/log=x", "/name=N"}, installing},
        {{"/rollback=r", "/token=t"}, {"/quiet", "/log=x"}, notRollingBack},
        {{"/commit=r", "/token=t"}, {"/quiet", "/log=x"}, notCommitting},
    };
    for (const auto& c : cases) {
        const std::string action = c.line[0].substr(0, c.line[0].find('='));
        for (const std::string& arg : c.going) {
            std::vector<std::string> args = c.line;
            args.push_back(arg);
            EXPECT_NE(parseCommandLine(args).action, CliAction::Invalid) << action << " " << arg;
        }
        for (const std::string& arg : c.refused) {
            std::vector<std::string> args = c.line;
            args.push_back(arg);
            EXPECT_EQ(parseCommandLine(args).error, "'" + arg + "' does not go with " + action);
        }
    }
}

} // namespace
} // namespace vexo
