// The command line's switches, one row each, read by the parser, the usage text, the MSI's
// actions and scripts/msi.sh.
#pragma once

#include <cstdint>
#include <iterator>

namespace vexo {

// The actions a switch goes with, as bits; the switch that asks for an action has its bit alone.
inline constexpr unsigned kInstalling = 1, kUninstalling = 2, kRollingBack = 4, kCommitting = 8,
                          kAnyAction = 15;

// The MSI's property for a switch, kept between runs: the connection's as one group (given any
// of them, none of the kept ones comes back), the printer's own values one by one.
enum class MsiGroup : std::uint8_t { None, Connection, Printer };
struct MsiProperty {
    const char* name = "";
    MsiGroup group = MsiGroup::None;
};

// clang-format off
struct Switch {
    // Of a line's switches that do not go with its action, the first in this order is named.
    enum Id : std::uint8_t {
        Quiet, Uninstall, Model, Port, NoDefault, Serial, Log, Help, Ip, PortNumber, Lpr, Snmp,
        Name, Location, Comment, Record, Rollback, Commit, Token, Paper, Orientation, Duplex,
        Color, kCount
    };
    // Text: the next argument or what follows "=". Secret: a text shown as *** (the SNMP
    // community), which the MSI keeps where only Administrators and SYSTEM can read it.
    enum Value : std::uint8_t { None, Text, Secret };
    Id id;
    const char* name; // after "/" or "-", matched in any case
    Value value;
    unsigned actions;
    MsiProperty msi;
    // Whole lines, "" for a switch that another's lines name or the usage leaves out; {models},
    // {baud}, {parity}, {data} and {stop} stand for the lists of the models and serial codes.
    const char* usage;
};

// In the order of the usage, and of the properties scripts/msi.sh has the next run read back.
inline constexpr Switch kSwitches[] = {
    {Switch::Quiet, "quiet", Switch::None, kAnyAction, {},
     "  /quiet        no windows at all; without it message boxes may appear\n"},
    {Switch::Model, "model", Switch::Text, kInstalling | kUninstalling, {},
     "  /model MODEL  the printer model: {models}\n"},
    {Switch::Port, "port", Switch::Text, kInstalling, {"PORT", MsiGroup::Connection},
     "  /port auto    find the printer's port, trying each USB port in turn (the default)\n"
     "  /port PORT    use the port PORT, e.g. LPT1: or COM3:\n"},
    {Switch::Ip, "ip", Switch::Text, kInstalling, {"IP", MsiGroup::Connection},
     "  /ip HOST      the printer at HOST: create the TCP/IP port IP_HOST (RAW, 9100)\n"},
    {Switch::PortNumber, "portnumber", Switch::Text, kInstalling,
     {"PORTNUMBER", MsiGroup::Connection},
     "  /portnumber N RAW on port N: the port IP_HOST_N\n"},
    {Switch::Lpr, "lpr", Switch::Text, kInstalling, {"LPR", MsiGroup::Connection},
     "  /lpr QUEUE    LPR to QUEUE: the port IP_HOST_QUEUE (IP_HOST_lpr+QUEUE if all digits)\n"},
    {Switch::Snmp, "snmp", Switch::Secret, kInstalling, {"SNMP", MsiGroup::Connection},
     "  /snmp COMMUNITY  ask the printer's status by SNMP\n"},
    {Switch::Name, "name", Switch::Text, kInstalling | kUninstalling, {"NAME", MsiGroup::Printer},
     "  /name NAME    the printer's name (default: the model)\n"},
    {Switch::Location, "location", Switch::Text, kInstalling, {"LOCATION", MsiGroup::Printer},
     "  /location TEXT, /comment TEXT  shown to the printer's users\n"},
    {Switch::Comment, "comment", Switch::Text, kInstalling, {"COMMENT", MsiGroup::Printer}, ""},
    {Switch::NoDefault, "nodefault", Switch::None, kInstalling, {},
     "  /nodefault    do not make the printer the default printer\n"},
    {Switch::Paper, "paper", Switch::Text, kInstalling, {"PAPER", MsiGroup::Printer},
     "  /paper NAME|NUMBER  the paper for every user of the PC: a form name of Windows\n"
     "                (A4, Letter, Legal, A3, A5, B5 (JIS), B5 (ISO), ...) or its number\n"},
    {Switch::Orientation, "orientation", Switch::Text, kInstalling,
     {"ORIENTATION", MsiGroup::Printer},
     "  /orientation portrait|landscape, /duplex none|long|short (the edge bound),\n"
     "  /color color|mono  the orientation, two-sided printing and colour for every user\n"},
    {Switch::Duplex, "duplex", Switch::Text, kInstalling, {"DUPLEX", MsiGroup::Printer}, ""},
    {Switch::Color, "color", Switch::Text, kInstalling, {"COLOR", MsiGroup::Printer}, ""},
    {Switch::Serial, "serial", Switch::Text, kInstalling, {},
     "  /serial B,P,D,S,F  the line settings of the COM port named by /port (COM1 to COM4):\n"
     "                baud {baud}\n"
     "                parity {parity}; data bits {data}; stop bits {stop}\n"
     "                flow x (Xon/Xoff), p (hardware), or a space or nothing (none)\n"
     "                e.g. /port COM3 /serial 9600,E,7,1,x\n"},
    {Switch::Uninstall, "uninstall", Switch::None, kUninstalling, {},
     "  /uninstall    remove the printer and its driver\n"},
    {Switch::Log, "log", Switch::Text, kAnyAction, {},
     "  /log FILE     write what happens to FILE\n"},
    {Switch::Help, "?", Switch::None, kAnyAction, {},
     "  /?            show this text\n"},
    // The MSI's actions: an installation that keeps its change record, and that record's end.
    {Switch::Record, "record", Switch::Text, kInstalling, {}, ""},
    {Switch::Rollback, "rollback", Switch::Text, kRollingBack, {}, ""},
    {Switch::Commit, "commit", Switch::Text, kCommitting, {}, ""},
    {Switch::Token, "token", Switch::Text, kInstalling | kRollingBack | kCommitting, {}, ""},
};
// clang-format on

static_assert(std::size(kSwitches) == Switch::kCount, "a row for each Id");

} // namespace vexo
