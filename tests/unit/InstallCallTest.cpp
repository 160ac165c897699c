#include "InstallFixture.h"

#include <regex>

namespace vexo::test {
namespace {

// The installation called without the wizard, as the unattended front end calls it: a
// machine, a request, and everything that changed, what the feedback was shown and what
// the report says.
struct CallRow {
    const char* name;
    std::function<void(sim::SimMachine&)> setUp;
    InstallRequest request;
    std::string expected;
    std::string logLine = ""; // a line the log must have, if any
};

class InstallCallTableTest : public InstallTest, public ::testing::WithParamInterface<CallRow> {};

std::string reportLines(const std::string& text) {
    std::string out;
    std::size_t from = 0;
    while (from <= text.size()) {
        std::size_t end = text.find("\r\n", from);
        out += "  report | " + text.substr(from, end - from) + "\n";
        if (end == std::string::npos) {
            break;
        }
        from = end + 2;
    }
    return out;
}

TEST_P(InstallCallTableTest, ChangesTheMachineAndReportsExactlyThis) {
    const CallRow& row = GetParam();
    machine.system.setVersion({6, 2, 9200, PlatformNt}); // the USB binding reads back
    machine.system.setWow64(false);
    if (row.setUp) {
        row.setUp(machine);
    }
    InstallReport report = installCall(row.request);
    std::string got = changes() + reportLines(report.succeeded() ? report.completionMessage()
                                                                 : report.failureMessage());
    EXPECT_EQ(got, row.expected) << "what changed, what was shown and the report:\n" << got;
    if (!row.logLine.empty()) {
        EXPECT_NE(std::find(feedback.notes.begin(), feedback.notes.end(), row.logLine),
                  feedback.notes.end())
            << row.logLine;
    }
    // Without printing defaults no device mode is asked for.
    for (const sim::CallRecord& c : machine.faults.calls()) {
        EXPECT_TRUE(row.request.defaults.any() ||
                    (c.subject.find(" level ") == std::string::npos &&
                     c.operation != "DocumentProperties" && c.operation != "DeviceCapabilities"))
            << c.operation << " " << c.subject;
    }
}

InstallRequest automatic(int model, bool bindUsbPort) {
    InstallRequest r;
    r.model = model;
    r.port = PortChoice::Automatic;
    r.bindUsbPort = bindUsbPort;
    return r;
}

InstallRequest named(const std::string& port, bool setDefault) {
    InstallRequest r;
    r.port = PortChoice::Named;
    r.portName = port;
    r.setDefaultPrinter = setDefault;
    return r;
}

// As the command line asks: an existing printer is set to the request, and the run keeps
// its record.
InstallRequest setting(InstallRequest r, const std::string& name = "") {
    r.existingPrinter = ExistingPrinter::SetToRequest;
    r.keepRecord = true;
    r.printerName = name;
    return r;
}

// The lines of an x86 installation's driver and files as Windows on ARM has them.
std::string onArm64(std::string lines) {
    for (const auto& [from, to] : {std::pair<std::string, std::string>{"w32x86", "arm64"},
                                   {"\"x86 ", "\"arm64 "},
                                   {"Windows NT x86", "Windows ARM64"}}) {
        for (std::size_t at = lines.find(from); at != std::string::npos;
             at = lines.find(from, at + to.size())) {
            lines.replace(at, from.size(), to);
        }
    }
    return lines;
}

// The command line's printer on LPT1: with printing defaults for every user.
InstallRequest withDefaults(PrintingDefaults defaults) {
    InstallRequest r = setting(named("LPT1:", false));
    r.defaults = defaults;
    return r;
}

const std::string kNotDone = R"--(  report | The installation did not complete. These steps failed:
  report | 
  report | - Set the printing defaults of "K20A" for every user: )--";

// The command line's printer on the network: its port made (or taken) first, then the printer
// named `name` on it.
TcpPort rawPort(const std::string& host) {
    return TcpPort{"IP_" + host, host, kTcpRaw, 9100, "", false, "", 0};
}
const TcpPort kLprPort{"IP_printer-3_lp1", "printer-3", kTcpLpr, 515, "lp1", true, "public", 1};

InstallRequest network(const TcpPort& port, const std::string& name, bool setDefault) {
    InstallRequest r = setting(named(port.name, setDefault));
    r.tcpPort = port;
    r.printerName = name;
    return r;
}

// A port of the asked name there already, with the settings of `theirs`: it may serve other
// printers, so nothing is installed and the report names what differs (`other`), or why its
// settings are unknown.
const TcpPort kRawSnmpPort{"IP_printer-5_9101", "printer-5", kTcpRaw, 9101, "", true, "public", 2};
CallRow portThere(const char* name, const TcpPort& asked, TcpPort theirs, const std::string& other,
                  void (*fault)(sim::SimMachine&) = nullptr) {
    theirs.name = asked.name;
    return CallRow{name,
                   [theirs, fault](sim::SimMachine& m) {
                       ASSERT_EQ(m.spooler.addTcpPort(theirs), 0u);
                       if (fault != nullptr) {
                           fault(m);
                       }
                   },
                   network(asked, "", true),
                   "  report | The installation did not complete. These steps failed:\n  report | "
                   "\n  report | - Create the Standard TCP/IP port \"" +
                       asked.name + "\": a port of that name exists already" +
                       (fault != nullptr ? other
                                         : ", with another " + other +
                                               "; other printers may use it, so it was left as "
                                               "it is and nothing was installed") +
                       "\n"};
}

// The monitor's refusal: nothing is installed.
const std::string kPortRefused =
    R"--(  report | The installation did not complete. These steps failed:
  report | 
  report | - Create the Standard TCP/IP port "IP_10.0.0.20": )--";

const std::string kLpt1PrinterKeys =
    R"--(+ HKLM\SOFTWARE\Microsoft\Windows NT\CurrentVersion\Print\Printers\K20A: Name = REG_SZ "K20A\0"
+ HKLM\SOFTWARE\Microsoft\Windows NT\CurrentVersion\Print\Printers\K20A\DsSpooler: portName = REG_SZ "LPT1:\0"
+ HKLM\SYSTEM\ControlSet001\Control\Print\Printers\K20A: Name = REG_SZ "K20A\0"
+ HKLM\SYSTEM\ControlSet001\Control\Print\Printers\K20A: Port = REG_SZ "LPT1:\0"
+ HKLM\SYSTEM\ControlSet001\Control\Print\Printers\K20A: Printer Driver = REG_SZ "K20A\0"
)--";
const std::string kLpt1Printer =
    R"--(+ printer "K20A": port "LPT1:", driver "K20A", processor "WinPrint", data type "RAW", attributes 0
)--";

const std::string kDeployed = R"--(  progress 10 20 30 40 50 60 70 80 90 95
  Sleep 500
  progress 100
)--";

INSTANTIATE_TEST_SUITE_P(
    Calls, InstallCallTableTest,
    ::testing::Values(
        CallRow{
            "a_missing_source_leaves_a_read_only_destination_as_it_was",
            [](sim::SimMachine& m) {
                std::string copy = std::string(kX86Dir) + "\\TQ20P.GPD";
                m.writeFile(copy, "an earlier TQ20P.GPD");
                std::filesystem::permissions(m.host(copy), std::filesystem::perms::owner_write,
                                             std::filesystem::perm_options::remove);
                std::filesystem::remove(m.host("C:\\VEXO\\Printer Driver\\x86\\TQ20P.GPD"));
            },
            named("LPT1:", false),
            R"--(+ HKLM\SOFTWARE\Microsoft\Windows NT\CurrentVersion\Print\Printers\K20A: Name = REG_SZ "K20A\0"
+ HKLM\SOFTWARE\Microsoft\Windows NT\CurrentVersion\Print\Printers\K20A\DsSpooler: portName = REG_SZ "LPT1:\0"
+ HKLM\SYSTEM\ControlSet001\Control\Print\Printers\K20A: Name = REG_SZ "K20A\0"
+ HKLM\SYSTEM\ControlSet001\Control\Print\Printers\K20A: Port = REG_SZ "LPT1:\0"
+ HKLM\SYSTEM\ControlSet001\Control\Print\Printers\K20A: Printer Driver = REG_SZ "K20A\0"
+ <drivers>\w32x86\STDNAMES.GPD "x86 STDNAMES.GPD"
+ <drivers>\w32x86\TQ20Ev1.DLL "x86 TQ20Ev1.DLL"
+ <drivers>\w32x86\TTFSUB.GPD "x86 TTFSUB.GPD"
+ <drivers>\w32x86\UNIDRV.HLP "x86 UNIDRV.HLP"
+ <drivers>\w32x86\UNIRES.DLL "x86 UNIRES.DLL"
+ <drivers>\w32x86\uniDRV.DLL "x86 uniDRV.DLL"
+ <drivers>\w32x86\uniDRVui.DLL "x86 uniDRVui.DLL"
+ driver "K20A" for "Windows NT x86": version 2, monitor "", data type "RAW"
+ driver "K20A" for "Windows NT x86": driver <drivers>\w32x86\uniDRV.DLL
+ driver "K20A" for "Windows NT x86": data <drivers>\w32x86\TQ20P.GPD
+ driver "K20A" for "Windows NT x86": configuration <drivers>\w32x86\uniDRVui.DLL
+ driver "K20A" for "Windows NT x86": help <drivers>\w32x86\uniDRV.HLP
+ driver "K20A" for "Windows NT x86": dependent "\ttfsub.GPD" "\unires.DLL" "\stdnames.GPD" "TQ20Ev1.DLL"
+ printer "K20A": port "LPT1:", driver "K20A", processor "WinPrint", data type "RAW", attributes 0
  progress 10 20 30 40 50 60 70 80 90 95
  Sleep 500
  progress 100
  report | The installation did not complete. These steps failed:
  report | 
  report | - Copy "Printer Driver\x86\TQ20P.GPD" to "C:\Windows\system32\spool\drivers\w32x86\TQ20P.GPD": The system cannot find the file specified. (error 2)
)--"},
        CallRow{"no_model_binds_nothing",
                [](sim::SimMachine& m) {
                    m.spooler.addLocalPort("USB001", "Virtual printer port for USB");
                },
                automatic(-1, true),
                R"--(  progress 50 80 100
  report | The installation did not complete. These steps failed:
  report | 
  report | - No printer model was selected
)--"},
        CallRow{
            "automatic_prefers_the_serial_row",
            [](sim::SimMachine& m) {
                const char* map = "HARDWARE\\DEVICEMAP\\SERIALCOMM";
                m.registry.putText(RegRoot::LocalMachine, map, "\\Device\\Serial1", "COM2");
                m.registry.putText(RegRoot::LocalMachine, map, "\\Device\\Serial0", "COM1");
            },
            automatic(0, false),
            R"--(+ HKLM\SOFTWARE\Microsoft\Windows NT\CurrentVersion\Print\Printers\K20A: Name = REG_SZ "K20A\0"
+ HKLM\SOFTWARE\Microsoft\Windows NT\CurrentVersion\Print\Printers\K20A\DsSpooler: portName = REG_SZ "COM2:\0"
+ HKLM\SYSTEM\ControlSet001\Control\Print\Printers\K20A: Name = REG_SZ "K20A\0"
+ HKLM\SYSTEM\ControlSet001\Control\Print\Printers\K20A: Port = REG_SZ "COM2:\0"
+ HKLM\SYSTEM\ControlSet001\Control\Print\Printers\K20A: Printer Driver = REG_SZ "K20A\0"
+ HKCU\Software\Microsoft\Windows NT\CurrentVersion\Windows: Device = REG_SZ "K20A,winspool,COM2:\0"
)--" + kK20aDriverX86 +
                R"--(+ printer "K20A": port "COM2:", driver "K20A", processor "WinPrint", data type "RAW", attributes 0
)--" + kDeployed +
                R"--(  report | Completed!
)--"},
        CallRow{
            "the_usb_binding_names_the_model_K30AN",
            [](sim::SimMachine& m) {
                m.spooler.addLocalPort("USB001", "Virtual printer port for USB");
            },
            automatic(3, true),
            R"--(+ HKLM\SOFTWARE\Microsoft\Windows NT\CurrentVersion\Print\Printers\K30AN: Name = REG_SZ "K30AN\0"
+ HKLM\SOFTWARE\Microsoft\Windows NT\CurrentVersion\Print\Printers\K30AN\DsSpooler: portName = REG_SZ "USB001\0"
+ HKLM\SYSTEM\ControlSet001\Control\Print\Printers\K30AN: Name = REG_SZ "K30AN\0"
+ HKLM\SYSTEM\ControlSet001\Control\Print\Printers\K30AN: Port = REG_SZ "USB001\0"
+ HKLM\SYSTEM\ControlSet001\Control\Print\Printers\K30AN: Printer Driver = REG_SZ "K30AN\0"
+ HKLM\SYSTEM\ControlSet001\Hardware Profiles\Current\SYSTEM\CurrentControlSet\Control\Print\Printers\K30AN: PrinterOnLine = REG_DWORD 00 00 00 00
+ HKCU\Software\Microsoft\Windows NT\CurrentVersion\Windows: Device = REG_SZ "K30AN,winspool,USB001\0"
+ <drivers>\w32x86\STDNAMES.GPD "x86 STDNAMES.GPD"
+ <drivers>\w32x86\TQ30Ev1.DLL "x86 TQ30Ev1.DLL"
+ <drivers>\w32x86\TQ30P.GPD "x86 TQ30P.GPD"
+ <drivers>\w32x86\TTFSUB.GPD "x86 TTFSUB.GPD"
+ <drivers>\w32x86\UNIDRV.HLP "x86 UNIDRV.HLP"
+ <drivers>\w32x86\UNIRES.DLL "x86 UNIRES.DLL"
+ <drivers>\w32x86\uniDRV.DLL "x86 uniDRV.DLL"
+ <drivers>\w32x86\uniDRVui.DLL "x86 uniDRVui.DLL"
+ driver "K30AN" for "Windows NT x86": version 2, monitor "", data type "RAW"
+ driver "K30AN" for "Windows NT x86": driver <drivers>\w32x86\uniDRV.DLL
+ driver "K30AN" for "Windows NT x86": data <drivers>\w32x86\TQ30P.GPD
+ driver "K30AN" for "Windows NT x86": configuration <drivers>\w32x86\uniDRVui.DLL
+ driver "K30AN" for "Windows NT x86": help <drivers>\w32x86\uniDRV.HLP
+ driver "K30AN" for "Windows NT x86": dependent "\ttfsub.GPD" "\unires.DLL" "\stdnames.GPD" "TQ30Ev1.DLL"
+ printer "K30AN": port "USB001", driver "K30AN", processor "WinPrint", data type "RAW", attributes 0
  progress 50 80 10 20 30 40 50 60 70 80 90 95
  Sleep 500
  progress 100
  report | Completed!
)--"},
        CallRow{
            "protected_print_mode_installs_nothing",
            [](sim::SimMachine& m) {
                m.registry.put(RegRoot::LocalMachine, kProtectedPrintKey, kProtectedPrintValue,
                               RegValue{reg::TypeDword, regDwordData(1)});
            },
            named("LPT1:", true),
            R"--(  report | Nothing was installed: Windows protected print mode is on. In this mode Windows accepts only its own printer drivers, so the driver of "K20A" cannot be installed on this computer.
)--"},
        CallRow{"as_LocalSystem_the_default_printer_is_left_alone",
                [](sim::SimMachine& m) {
                    m.system.setAccount("NT AUTHORITY\\SYSTEM", true);
                    // Protected print mode's value, when it is not 1, changes nothing.
                    m.registry.put(RegRoot::LocalMachine, kProtectedPrintKey, kProtectedPrintValue,
                                   RegValue{reg::TypeDword, regDwordData(0)});
                },
                named("LPT1:", true),
                kLpt1PrinterKeys + kK20aDriverX86 + kLpt1Printer + kDeployed +
                    R"--(  report | Completed!
)--"},
        CallRow{"a_printer_not_added_without_the_default_flag",
                [](sim::SimMachine& m) { m.faults.fail("AddPrinter", err::AccessDenied); },
                named("LPT1:", false),
                kK20aDriverX86 + kDeployed +
                    R"--(  report | The installation did not complete. These steps failed:
  report | 
  report | - Add the printer "K20A" on the port "LPT1:": Access is denied. (error 5)
)--"},
        CallRow{"an_existing_printer_on_the_asked_port_keeps_its_settings", existing("LPT1:"),
                setting(named("LPT1:", false)),
                kK20aDriverX86 + kDeployed +
                    R"--(  report | Completed!
  report | 
  report | The printer "K20A" was already installed: it is on the port "LPT1:"; it kept its other settings.
)--"},
        CallRow{
            "the_command_line_sets_an_existing_printer_to_the_asked_port", existing("LPT1:"),
            setting(named("LPT2:", false)),
            R"--(- HKLM\SOFTWARE\Microsoft\Windows NT\CurrentVersion\Print\Printers\K20A\DsSpooler: portName = REG_SZ "LPT1:\0"
- HKLM\SYSTEM\ControlSet001\Control\Print\Printers\K20A: Port = REG_SZ "LPT1:\0"
- printer "K20A": port "LPT1:", driver "K20A", processor "WinPrint", data type "RAW", attributes 0
+ HKLM\SOFTWARE\Microsoft\Windows NT\CurrentVersion\Print\Printers\K20A\DsSpooler: portName = REG_SZ "LPT2:\0"
+ HKLM\SYSTEM\ControlSet001\Control\Print\Printers\K20A: Port = REG_SZ "LPT2:\0"
)--" + kK20aDriverX86 +
                R"--(+ printer "K20A": port "LPT2:", driver "K20A", processor "WinPrint", data type "RAW", attributes 0
)--" + kDeployed +
                R"--(  report | Completed!
  report | 
  report | The printer "K20A" was already installed: its port was set to "LPT2:" (it was "LPT1:"); it kept its other settings.
)--"},
        // Windows on ARM (Windows 11 answers IsWow64Process true, Windows 10 false; only
        // IsWow64Process2 tells ARM64): the ARM64 driver where the package has one, else
        // nothing at all.
        CallRow{"windows_on_ARM_installs_the_ARM64_driver",
                [](sim::SimMachine& m) {
                    m.system.setNativeMachine(kImageMachineArm64);
                    m.system.setWow64(true);
                    std::filesystem::create_directories(
                        m.host("C:\\Windows\\system32\\spool\\drivers\\arm64"));
                    for (const std::string& f : kPackageFiles) {
                        m.writeFile("C:\\VEXO\\Printer Driver\\ARM64\\" + f, "arm64 " + f);
                    }
                },
                setting(named("LPT1:", false)),
                kLpt1PrinterKeys + onArm64(kK20aDriverX86) + kLpt1Printer + kDeployed +
                    R"--(  report | Completed!
)--"},
        CallRow{"windows_on_ARM_without_an_ARM64_driver_changes_nothing",
                [](sim::SimMachine& m) {
                    m.system.setNativeMachine(kImageMachineArm64);
                    m.spooler.addLocalPort("USB001", "Virtual printer port for USB");
                },
                setting(automatic(0, true)),
                std::string("  report | The installation did not complete. These steps failed:\n"
                            "  report | \n  report | - ") +
                    kNoArm64DriverText + "\n"},
        // A value whose earlier state cannot be read is not written: the undo could not put
        // it back.
        CallRow{"a_value_it_cannot_read_first_is_not_written",
                [](sim::SimMachine& m) {
                    m.faults.fail("RegQueryValueEx", err::AccessDenied, "Device");
                },
                setting(named("LPT1:", true)),
                kLpt1PrinterKeys + kK20aDriverX86 + kLpt1Printer + kDeployed +
                    R"--(  report | The installation did not complete. These steps failed:
  report | 
  report | - Make "K20A" the default printer: write the value "Device": Access is denied. (error 5)
)--"},
        // Asked of the spooler before anything is written: not even the USB binding touches
        // another maker's printer.
        CallRow{"a_printer_of_the_name_on_another_driver_is_not_touched",
                [](sim::SimMachine& m) {
                    PrinterInfo2 p;
                    p.printerName = "Reception";
                    p.portName = "LPT1:";
                    p.driverName = "HP Universal Printing PCL 6";
                    m.spooler.putPrinter(p);
                    m.spooler.addLocalPort("USB001", "Virtual printer port for USB");
                },
                setting(automatic(0, true), "Reception"),
                R"--(  report | The installation did not complete. These steps failed:
  report | 
  report | - Add the printer "Reception": a printer of that name exists already, on the driver "HP Universal Printing PCL 6", which is not this model's; it was left as it is and nothing was changed
)--"},
        // Not found on line, a printer of this model stays where it was, its keys as they were.
        CallRow{
            "automatic_keeps_an_existing_printer_where_no_printer_answered",
            [](sim::SimMachine& m) {
                existing("IP_10.0.0.5")(m);
                m.spooler.addLocalPort("IP_10.0.0.5");
                m.spooler.addLocalPort("USB001", "Virtual printer port for USB");
            },
            setting(automatic(0, true)),
            R"--(+ HKCU\Software\Microsoft\Windows NT\CurrentVersion\Windows: Device = REG_SZ "K20A,winspool,IP_10.0.0.5\0"
)--" + kK20aDriverX86 +
                R"--(  progress 50 80 10 20 30 40 50 60 70 80 90 95
  Sleep 500
  progress 100
  report | Completed!
  report | 
  report | The printer "K20A" was already installed: it is on the port "IP_10.0.0.5" and it was made the default printer; it kept its other settings.
)--",
            "The printer \"K20A\" stays on the port \"IP_10.0.0.5\": no printer answered on a USB "
            "port"},
        CallRow{
            "automatic_asks_an_existing_printer_onto_the_USB_port_found_on_line",
            [](sim::SimMachine& m) {
                existing("LPT1:")(m);
                m.spooler.addLocalPort("USB001", "Virtual printer port for USB");
                m.spooler.addLocalPort("USB002", "Virtual printer port for USB");
                m.spooler.connectPrinterAt("USB002");
            },
            setting(automatic(0, true)),
            R"--(- HKLM\SOFTWARE\Microsoft\Windows NT\CurrentVersion\Print\Printers\K20A\DsSpooler: portName = REG_SZ "LPT1:\0"
- HKLM\SYSTEM\ControlSet001\Control\Print\Printers\K20A: Port = REG_SZ "LPT1:\0"
+ HKLM\SOFTWARE\Microsoft\Windows NT\CurrentVersion\Print\Printers\K20A: Port = REG_SZ "USB002\0"
+ HKLM\SOFTWARE\Microsoft\Windows NT\CurrentVersion\Print\Printers\K20A\DsSpooler: portName = REG_SZ "USB002\0"
+ HKLM\SYSTEM\ControlSet001\Control\Print\Printers\K20A: Port = REG_SZ "USB002\0"
+ HKLM\SYSTEM\ControlSet001\Hardware Profiles\Current\SYSTEM\CurrentControlSet\Control\Print\Printers\K20A: PrinterOnLine = REG_DWORD 01 00 00 00
+ HKCU\Software\Microsoft\Windows NT\CurrentVersion\Windows: Device = REG_SZ "K20A,winspool,USB002\0"
)--" + kK20aDriverX86 +
                R"--(  progress 50 50 70 80 10 20 30 40 50 60 70 80 90 95
  Sleep 500
  progress 100
  report | Completed!
  report | 
  report | The printer "K20A" was already installed: its port was set to "USB002" and it was made the default printer; it kept its other settings.
)--"},
        CallRow{"an_AddPrinter_error_above_already_exists",
                [](sim::SimMachine& m) { m.faults.fail("AddPrinter", err::InvalidEnvironment); },
                named("LPT1:", true),
                kK20aDriverX86 + kDeployed +
                    R"--(  report | The installation did not complete. These steps failed:
  report | 
  report | - Add the printer "K20A" on the port "LPT1:": The environment specified is invalid. (error 1805)
  report | - The default printer was left as it was, since the printer "K20A" was not added
)--"},
        CallRow{
            "a_network_printer_on_its_new_port_with_its_name_location_and_comment", nullptr,
            [] {
                InstallRequest r = network(rawPort("10.0.0.20"), "2nd floor K20A", true);
                r.location = "2nd floor";
                r.comment = "by the lift";
                return r;
            }(),
            R"--(+ HKLM\SOFTWARE\Microsoft\Windows NT\CurrentVersion\Print\Printers\2nd floor K20A: Name = REG_SZ "2nd floor K20A\0"
+ HKLM\SOFTWARE\Microsoft\Windows NT\CurrentVersion\Print\Printers\2nd floor K20A\DsSpooler: portName = REG_SZ "IP_10.0.0.20\0"
+ HKLM\SYSTEM\ControlSet001\Control\Print\Printers\2nd floor K20A: Name = REG_SZ "2nd floor K20A\0"
+ HKLM\SYSTEM\ControlSet001\Control\Print\Printers\2nd floor K20A: Port = REG_SZ "IP_10.0.0.20\0"
+ HKLM\SYSTEM\ControlSet001\Control\Print\Printers\2nd floor K20A: Printer Driver = REG_SZ "K20A\0"
+ HKCU\Software\Microsoft\Windows NT\CurrentVersion\Windows: Device = REG_SZ "2nd floor K20A,winspool,IP_10.0.0.20\0"
)--" + kK20aDriverX86.substr(0, kK20aDriverX86.find("+ driver ")) +
                R"--(+ port "IP_10.0.0.20": monitor "Standard TCP/IP Port", description "Standard TCP/IP Port", type 0
+ TCP/IP port "IP_10.0.0.20": host "10.0.0.20", protocol 1, port number 9100, queue "", SNMP 0 "" 0
)--" + kK20aDriverX86.substr(kK20aDriverX86.find("+ driver ")) +
                R"--(+ printer "2nd floor K20A": port "IP_10.0.0.20", driver "K20A", processor "WinPrint", data type "RAW", attributes 0
+ printer "2nd floor K20A": also comment "by the lift", location "2nd floor"
)--" + kDeployed +
                R"--(  report | Completed!
)--"},
        CallRow{
            "a_port_of_its_name_and_settings_there_already_is_used_as_it_is",
            [](sim::SimMachine& m) { ASSERT_EQ(m.spooler.addTcpPort(kLprPort), 0u); },
            network(kLprPort, "", false),
            R"--(+ HKLM\SOFTWARE\Microsoft\Windows NT\CurrentVersion\Print\Printers\K20A: Name = REG_SZ "K20A\0"
+ HKLM\SOFTWARE\Microsoft\Windows NT\CurrentVersion\Print\Printers\K20A\DsSpooler: portName = REG_SZ "IP_printer-3_lp1\0"
+ HKLM\SYSTEM\ControlSet001\Control\Print\Printers\K20A: Name = REG_SZ "K20A\0"
+ HKLM\SYSTEM\ControlSet001\Control\Print\Printers\K20A: Port = REG_SZ "IP_printer-3_lp1\0"
+ HKLM\SYSTEM\ControlSet001\Control\Print\Printers\K20A: Printer Driver = REG_SZ "K20A\0"
)--" + kK20aDriverX86 +
                R"--(+ printer "K20A": port "IP_printer-3_lp1", driver "K20A", processor "WinPrint", data type "RAW", attributes 0
)--" + kDeployed +
                R"--(  report | Completed!
)--",
            "Create the Standard TCP/IP port \"IP_printer-3_lp1\": it exists already with "
            "these settings, and is used as it is"},
        portThere("a_port_of_its_name_with_other_settings_may_serve_others_nothing_is_installed",
                  kLprPort, rawPort("printer-4"), "host, protocol, SNMP"),
        portThere("a_smaller_port_number_and_a_larger_SNMP_device_index", kRawSnmpPort,
                  {"", "printer-5", kTcpRaw, 9100, "", true, "public", 3},
                  "port number, SNMP device index"),
        portThere("a_larger_port_number_and_a_smaller_SNMP_device_index", kRawSnmpPort,
                  {"", "printer-5", kTcpRaw, 9102, "", true, "public", 1},
                  "port number, SNMP device index"),
        portThere("another_host_and_community_on_the_same_port_number", kRawSnmpPort,
                  {"", "printer-6", kTcpRaw, 9101, "", true, "private", 2}, "host, SNMP community"),
        portThere("a_queue_before_the_asked", kLprPort,
                  {"", "printer-3", kTcpLpr, 515, "lp0", true, "public", 1}, "queue"),
        portThere("a_queue_after_the_asked", kLprPort,
                  {"", "printer-3", kTcpLpr, 515, "lp2", true, "public", 1}, "queue"),
        portThere("LPR_where_RAW_is_asked", kRawSnmpPort,
                  {"", "printer-5", kTcpLpr, 515, "lp1", true, "public", 2}, "protocol"),
        portThere("its_settings_cannot_be_read", kRawSnmpPort, kRawSnmpPort,
                  "; read its settings: Access is denied. (error 5)",
                  [](sim::SimMachine& m) {
                      m.faults.fail("XcvData", err::AccessDenied, "GetConfigInfo");
                  }),
        CallRow{"the_monitor_refuses_access",
                [](sim::SimMachine& m) { m.faults.fail("XcvData", err::AccessDenied); },
                network(rawPort("10.0.0.20"), "", true),
                kPortRefused + R"--(Access is denied. (error 5)
)--"},
        CallRow{"the_monitor_refuses_the_port_data",
                [](sim::SimMachine& m) { m.faults.fail("XcvData", err::InvalidParameter); },
                network(rawPort("10.0.0.20"), "", true),
                kPortRefused + R"--(The parameter is incorrect. (error 87)
)--"},
        CallRow{"no_standard_TCP_IP_port_monitor",
                [](sim::SimMachine& m) { m.spooler.monitors().pop_back(); },
                network(rawPort("10.0.0.20"), "", true),
                kPortRefused + R"--(The specified port is unknown. (error 1796)
)--"},
        // The fields asked and their bits reach the device mode for every user through the
        // driver.
        CallRow{
            "printing_defaults_for_every_user", nullptr,
            withDefaults({9, dm::Landscape, dm::LongEdge, dm::Monochrome}),
            kLpt1PrinterKeys + kK20aDriverX86 + kLpt1Printer +
                R"--(+ printer "K20A": device mode for every user: fields 0x1803, paper 9, orientation 2, duplex 2, color 1; private of K20A
)--" + kDeployed +
                "  report | Completed!\n",
            "Set the printing defaults of \"K20A\" for every user: done; the spooler now has "
            "paper A4 (9), orientation landscape, duplex long, color mono"},
        // A printer without one for every user starts from its driver's.
        CallRow{"printing_defaults_from_the_drivers",
                [](sim::SimMachine& m) {
                    existing("LPT1:")(m);
                    m.spooler.dropDevMode("K20A");
                },
                withDefaults({{}, {}, dm::LongEdge, {}}),
                kK20aDriverX86 +
                    R"--(+ printer "K20A": device mode for every user: fields 0x1803, paper 1, orientation 1, duplex 2, color 2; private of K20A
)--" + kDeployed + "  report | Completed!\n  report | \n  report | The printer \"K20A\" was "
                                   "already installed: it is on the port \"LPT1:\"; it kept its "
                                   "other settings.\n"},
        CallRow{"a_paper_the_driver_does_not_offer", nullptr, withDefaults({66, {}, {}, {}}),
                kLpt1PrinterKeys + kK20aDriverX86 + kLpt1Printer + kDeployed + kNotDone +
                    "the driver does not offer paper A2 (66); it offers paper Letter (1), Legal "
                    "(5), A3 (8), A4 (9), A5 (11), B5 (JIS) (13); nothing was changed\n"},
        CallRow{
            "a_read_back_that_differs_from_what_was_asked",
            [](sim::SimMachine& m) { m.spooler.driverModel("K20A").honoured = ~dm::Duplex; },
            withDefaults({{}, {}, dm::LongEdge, dm::Monochrome}),
            kLpt1PrinterKeys + kK20aDriverX86 + kLpt1Printer +
                R"--(+ printer "K20A": device mode for every user: fields 0x1803, paper 1, orientation 1, duplex 1, color 1; private of K20A
)--" + kDeployed +
                kNotDone +
                "the spooler now has paper Letter (1), orientation portrait, duplex none, "
                "color mono: not duplex long as asked\n"},
        CallRow{"an_existing_printer_gets_the_location_and_comment_asked", existing("LPT1:"),
                [] {
                    InstallRequest r = setting(named("LPT1:", false));
                    r.location = "2nd floor";
                    r.comment = "by the lift";
                    return r;
                }(),
                kK20aDriverX86 +
                    R"--(+ printer "K20A": also comment "by the lift", location "2nd floor"
)--" + kDeployed + R"--(  report | Completed!
  report | 
  report | The printer "K20A" was already installed: it is on the port "LPT1:"; it kept its other settings.
)--",
                "Add the printer \"K20A\" on the port \"LPT1:\": the printer exists already, on "
                "the port \"LPT1:\": its location was set to \"2nd floor\", its comment to \"by "
                "the lift\"; it keeps its other settings"}),
    [](const ::testing::TestParamInfo<CallRow>& p) { return std::string(p.param.name); });

// The removal called as the command line calls it, after an installation of K20A on LPT1:
// (unless the row says otherwise): what changed on the machine and the report's summary.
struct RemovalRow {
    const char* name;
    bool installedFirst;
    std::function<void(sim::SimMachine&)> setUp;
    std::string expected;
    std::string logLine = ""; // a line the log must have, if any
};

class RemovalCallTableTest : public InstallTest,
                             public ::testing::WithParamInterface<RemovalRow> {};

TEST_P(RemovalCallTableTest, ChangesTheMachineAndReportsExactlyThis) {
    const RemovalRow& row = GetParam();
    machine.system.setWow64(false);
    if (row.installedFirst) {
        ASSERT_TRUE(installCall(named("LPT1:", false)).succeeded());
    }
    if (row.setUp) {
        row.setUp(machine);
    }
    RemovalReport report = removalCall(named("", false));
    std::string got = changes() + reportLines(report.summary());
    EXPECT_EQ(got, row.expected) << "what changed and the report:\n" << got;
    EXPECT_EQ(report.succeeded(), report.failures.empty());
    if (!row.logLine.empty()) {
        EXPECT_NE(std::find(feedback.notes.begin(), feedback.notes.end(), row.logLine),
                  feedback.notes.end())
            << row.logLine;
    }
}

// The lines of `text` that begin with `prefix`.
std::string linesStartingWith(const std::string& text, const std::string& prefix) {
    std::string out;
    for (std::size_t from = 0; from < text.size();) {
        std::size_t end = text.find('\n', from);
        if (text.compare(from, prefix.size(), prefix) == 0) {
            out += text.substr(from, end - from + 1);
        }
        from = end + 1;
    }
    return out;
}

// The lines of `text` that an installation added, taken away again; the printers' keys
// stay, empty.
std::string removed(const std::string& text, bool printersKeysEmpty = true) {
    std::string out;
    for (std::size_t from = 0; from < text.size();) {
        std::size_t end = text.find('\n', from);
        out += "- " + text.substr(from + 2, end - from - 2) + "\n";
        from = end + 1;
    }
    if (printersKeysEmpty) {
        out += "+ HKLM\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Print\\Printers\\\n"
               "+ HKLM\\SYSTEM\\ControlSet001\\Control\\Print\\Printers\\\n";
    }
    return out;
}

INSTANTIATE_TEST_SUITE_P(
    Removals, RemovalCallTableTest,
    ::testing::Values(
        RemovalRow{"the_printer_then_the_driver_with_its_files", true, nullptr,
                   removed(kLpt1PrinterKeys + kK20aDriverX86 + kLpt1Printer) +
                       R"--(  report | The printer "K20A" was removed. Its driver was removed.
)--"},
        RemovalRow{"windows_on_ARM_removes_the_ARM64_driver", false,
                   [](sim::SimMachine& m) {
                       m.system.setNativeMachine(kImageMachineArm64);
                       std::filesystem::create_directories(
                           m.host("C:\\Windows\\system32\\spool\\drivers\\arm64"));
                       for (const std::string& f : kPackageFiles) {
                           m.writeFile("C:\\VEXO\\Printer Driver\\ARM64\\" + f, "arm64 " + f);
                       }
                       RecordingFeedback quiet(m.faults);
                       ASSERT_TRUE(install(m.platform, named("LPT1:", false), quiet).succeeded());
                   },
                   removed(kLpt1PrinterKeys + onArm64(kK20aDriverX86) + kLpt1Printer) +
                       R"--(  report | The printer "K20A" was removed. Its driver was removed.
)--"},
        RemovalRow{"nothing_to_remove", false, nullptr,
                   R"--(  report | The printer "K20A" is not installed: nothing to remove.
)--"},
        RemovalRow{
            "a_driver_that_another_printer_uses_is_kept", true,
            [](sim::SimMachine& m) {
                PrinterInfo2 other;
                other.printerName = "Front desk";
                other.portName = "LPT2:";
                other.driverName = "K20A";
                m.spooler.putPrinter(other);
            },
            removed(kLpt1PrinterKeys + kLpt1Printer, false) +
                R"--(  report | The printer "K20A" was removed. Its driver was kept: "Front desk" still uses it.
)--"},
        RemovalRow{
            "a_spooler_that_refuses_to_delete_files_keeps_them", true,
            [](sim::SimMachine& m) {
                m.faults.fail("DeletePrinterDriverEx", err::InvalidParameter);
            },
            removed(kLpt1PrinterKeys + linesStartingWith(kK20aDriverX86, "+ driver ") +
                    kLpt1Printer) +
                R"--(  report | The printer "K20A" was removed. Its driver was removed; its files stayed in the driver directory.
)--"},
        RemovalRow{
            "a_printer_on_another_driver_is_not_ours", false,
            existing("LPT1:", "Generic / Text Only"),
            R"--(  report | The printer "K20A" was kept: it is not this model's, its driver is "Generic / Text Only".
)--",
            "Delete the printer \"K20A\": kept, it is not this model's: its driver is "
            "\"Generic / Text Only\""},
        RemovalRow{
            "a_driver_with_another_data_file_is_not_ours", true,
            [](sim::SimMachine& m) {
                const std::string dir = std::string(kX86Dir) + "\\";
                m.writeFile(dir + "THEIRS.GPD", "theirs");
                DriverInfo3 theirs = m.spooler.drivers().front();
                theirs.dataFile = dir + "THEIRS.GPD";
                ASSERT_EQ(m.spooler.addPrinterDriver(theirs), err::Success);
            },
            removed(kLpt1PrinterKeys + kLpt1Printer) +
                R"--(  report | The printer "K20A" was removed. Its driver was kept: it is not this model's, its data file is "THEIRS.GPD".
)--",
            "Delete the printer driver \"K20A\" for \"Windows NT x86\": kept, it is not "
            "this model's: its data file is \"THEIRS.GPD\""},
        RemovalRow{"a_printer_with_jobs_is_only_marked_and_keeps_its_driver", true,
                   [](sim::SimMachine& m) { m.spooler.setJobs("K20A", 2); },
                   R"--(- printer "K20A": also jobs 2
+ printer "K20A": also status 4, jobs 2
  report | The printer "K20A" is marked for deletion: it goes when its 2 print jobs end. Its driver was kept until then: run the removal again later.
)--"},
        RemovalRow{
            "a_shared_printer_is_removed_with_its_share", true,
            [](sim::SimMachine& m) {
                PrinterInfo2 p;
                ASSERT_EQ(m.spooler.getPrinter("K20A", p), err::Success);
                p.attributes |= kPrinterAttributeShared;
                p.shareName = "Front desk";
                ASSERT_EQ(m.spooler.setPrinter(p), err::Success);
            },
            removed(
                kLpt1PrinterKeys + kK20aDriverX86 +
                R"--(+ printer "K20A": port "LPT1:", driver "K20A", processor "WinPrint", data type "RAW", attributes 8
+ printer "K20A": also share "Front desk"
)--") + R"--(  report | The printer "K20A" (shared as "Front desk") was removed. Its driver was removed.
)--",
            "The printer \"K20A\" is shared as \"Front desk\"; the share goes with it"},
        RemovalRow{
            "the_version_installed_is_the_one_deleted", true,
            [](sim::SimMachine& m) {
                DriverInfo3 v3 = m.spooler.drivers().front();
                v3.version = 3; // as Windows 10 registers it
                ASSERT_EQ(m.spooler.addPrinterDriver(v3), err::Success);
            },
            removed(kLpt1PrinterKeys +
                    std::regex_replace(kK20aDriverX86, std::regex("version 2"), "version 3") +
                    kLpt1Printer) +
                R"--(  report | The printer "K20A" was removed. Its driver was removed.
)--",
            "Delete the printer driver \"K20A\" for \"Windows NT x86\", version 3: done, "
            "with the files no other driver uses"},
        // A driver removed without its printer is something removed, not "nothing".
        RemovalRow{"a_driver_without_its_printer_is_removed", true,
                   [](sim::SimMachine& m) { (void)m.spooler.deletePrinter("K20A"); },
                   removed(kK20aDriverX86, false) + R"--(  report | Its driver was removed.
)--"},
        // The spooler's "in use", though no listed printer uses it, keeps the driver.
        RemovalRow{
            "a_driver_the_spooler_says_is_in_use_is_kept", true,
            [](sim::SimMachine& m) {
                m.faults.fail("DeletePrinterDriverEx", err::PrinterDriverInUse);
            },
            removed(kLpt1PrinterKeys + kLpt1Printer) +
                R"--(  report | The printer "K20A" was removed. Its driver was kept: "(a printer the spooler did not name)" still uses it.
)--",
            "Delete the printer driver \"K20A\" for \"Windows NT x86\", version 2: kept, "
            "another printer still uses it"},
        // Only "in use" keeps a driver; an error above it is a failure.
        RemovalRow{"a_driver_deletion_refused_otherwise_is_a_failure", true,
                   [](sim::SimMachine& m) {
                       m.faults.fail("DeletePrinterDriverEx",
                                     3002 /* ERROR_SPOOL_FILE_NOT_FOUND */);
                   },
                   removed(kLpt1PrinterKeys + kLpt1Printer) +
                       R"--(  report | The removal of "K20A" did not complete. These steps failed:
  report | - Delete the printer driver "K20A" for "Windows NT x86", version 2: Unknown error 3002. (error 3002)
)--"},
        RemovalRow{"a_printer_that_cannot_be_deleted_keeps_its_driver", true,
                   [](sim::SimMachine& m) { m.faults.fail("DeletePrinter", err::AccessDenied); },
                   R"--(  report | The removal of "K20A" did not complete. These steps failed:
  report | - Delete the printer "K20A": Access is denied. (error 5)
)--"}),
    [](const ::testing::TestParamInfo<RemovalRow>& p) { return std::string(p.param.name); });
// A log has only the notes: each failed step of the report must be among them, with its
// error, whichever step failed.
struct NotedFault {
    const char* name;
    std::function<void(sim::SimMachine&)> setUp;
};

class FailedStepsNotedTest : public InstallTest,
                             public ::testing::WithParamInterface<NotedFault> {};

TEST_P(FailedStepsNotedTest, EveryFailedStepOfTheReportIsNoted) {
    GetParam().setUp(machine);
    InstallReport report = installCall(named("LPT1:", true));
    ASSERT_FALSE(report.failures.empty());
    for (const InstallFailure& f : report.failures) {
        const std::string line = StepFailures::describe(f);
        EXPECT_NE(std::find(feedback.notes.begin(), feedback.notes.end(), line),
                  feedback.notes.end())
            << "not noted: " << line;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Faults, FailedStepsNotedTest,
    ::testing::Values(NotedFault{"AddPrinter",
                                 [](sim::SimMachine& m) {
                                     m.faults.fail("AddPrinter", err::UnknownPrinterDriver);
                                 }},
                      NotedFault{"AddPrinterDriver",
                                 [](sim::SimMachine& m) {
                                     m.faults.fail("AddPrinterDriver", err::AccessDenied);
                                 }},
                      NotedFault{"a_missing_package_file",
                                 [](sim::SimMachine& m) {
                                     std::filesystem::remove(
                                         m.host("C:\\VEXO\\Printer Driver\\x86\\UNIRES.DLL"));
                                 }},
                      NotedFault{"GetPrinterDriverDirectory",
                                 [](sim::SimMachine& m) {
                                     m.faults.fail("GetPrinterDriverDirectory", err::AccessDenied);
                                 }},
                      NotedFault{"no_default_printer_key",
                                 [](sim::SimMachine& m) {
                                     m.faults.fail("RegOpenKeyEx", err::FileNotFound,
                                                   "CurrentVersion\\Windows");
                                 }}),
    [](const ::testing::TestParamInfo<NotedFault>& p) { return std::string(p.param.name); });

TEST_F(InstallTest, AnAddedPrinterIsNoted) {
    InstallReport report = installCall(named("LPT1:", true));
    EXPECT_TRUE(report.succeeded()) << report.failureMessage();
    EXPECT_NE(std::find(feedback.notes.begin(), feedback.notes.end(),
                        "Add the printer \"K20A\" on the port \"LPT1:\": done"),
              feedback.notes.end());
}

// A run's end, decided once for both front ends: the exit code, and the box each shows
// ("" for none) with its icon. The wizard announces completion only on the NT family.
TEST(Outcome, EachReportGivesBothFrontEndsTheirExitCodeAndBox) {
    InstallReport done;
    done.ran = true;
    done.printerName = "K20A";
    done.portName = "LPT1:";
    done.printerPort = "LPT1:";
    InstallReport failed = done;
    failed.failWithoutCode("No port was chosen, so the printer \"K20A\" was not added");
    // Refused before it ran: the wizard's user left; the command line still says why.
    InstallReport notRun = failed;
    notRun.ran = false;
    const std::string failure = "The installation did not complete. These steps failed:\r\n"
                                "\r\n- No port was chosen, so the printer \"K20A\" was not added";
    struct Row {
        const char* what;
        const InstallReport& report;
        bool ntFamily;
        int exitCode;
        std::string wizardBox;
        std::uint32_t wizardStyle;
        std::string commandLineBox;
        std::uint32_t commandLineStyle;
    };
    const std::uint32_t error = mb::Ok | mb::IconError;
    for (const Row& r :
         {Row{"completed", done, true, 0, "Completed!", mb::Ok, "Completed!",
              mb::Ok | mb::IconInformation},
          Row{"completed on Windows 9x", done, false, 0, "", mb::Ok, "Completed!",
              mb::Ok | mb::IconInformation},
          Row{"a step failed", failed, true, 1603, failure, error, failure, error},
          Row{"a step failed on Windows 9x", failed, false, 1603, failure, error, failure, error},
          Row{"never ran", notRun, true, 1602, "", mb::Ok, failure, error}}) {
        SCOPED_TRACE(r.what);
        EXPECT_EQ(exitCodeOf(r.report), r.exitCode);
        const FinalMessage wizard = finalMessageOf(r.report, FrontEnd::Wizard, r.ntFamily);
        EXPECT_EQ(wizard.text, r.wizardBox);
        EXPECT_EQ(wizard.style, r.wizardStyle);
        const FinalMessage cli = finalMessageOf(r.report, FrontEnd::CommandLine, r.ntFamily);
        EXPECT_EQ(cli.text, r.commandLineBox);
        EXPECT_EQ(cli.style, r.commandLineStyle);
        EXPECT_EQ(cli.logLine, r.exitCode == 0
                                   ? "Installed: the printer \"K20A\" on the port \"LPT1:\""
                                   : "The installation did not complete: 1 step failed");
    }
    // An existing printer's port "was set" only when this run set it, or bound it there.
    InstallReport kept = done;
    kept.printerAlreadyExisted = true;
    kept.printerPort = "USB002";
    const std::pair<const char*, const char*> bindings[] = {{"", "it is on the port"},
                                                            {"USB001", "it is on the port"},
                                                            {"USB003", "it is on the port"},
                                                            {"USB002", "its port was set to"}};
    for (const auto& [bound, says] : bindings) {
        kept.boundUsbPort = bound;
        EXPECT_EQ(kept.completionMessage(),
                  std::string("Completed!\r\n\r\nThe printer \"K20A\" was already installed: ") +
                      says + " \"USB002\"; it kept its other settings.")
            << bound;
    }
    RemovalReport removed;
    removed.ran = true;
    removed.printerName = "K20A";
    removed.printerRemoved = true;
    EXPECT_EQ(exitCodeOf(removed), 0);
    EXPECT_EQ(finalMessageOf(removed).style, mb::Ok | mb::IconInformation);
    removed.failWithoutCode("Delete the printer \"K20A\"");
    EXPECT_EQ(exitCodeOf(removed), 1603);
    EXPECT_EQ(finalMessageOf(removed).style, error);
    EXPECT_EQ(finalMessageOf(removed).logLine,
              "The removal of \"K20A\" did not complete: 1 step failed");
}

// Protected print mode is on for the DWORD 1 alone; its refusal is a run that failed, which
// the wizard reports as such.
TEST_F(InstallTest, ProtectedPrintModeIsOnForTheDwordOneAloneAndItsRefusalIsReported) {
    struct Row {
        RegValue value;
        bool on;
    };
    for (const Row& r :
         {Row{{reg::TypeDword, regDwordData(1)}, true},
          Row{{reg::TypeDword, regDwordData(257)}, false},
          Row{{reg::TypeDword, regDwordData(65537)}, false},
          Row{{reg::TypeDword, regDwordData(0)}, false},
          Row{{reg::TypeBinary, {1, 0, 0, 0}}, false}, Row{{reg::TypeDword, {1, 0, 0}}, false},
          Row{{reg::TypeDword, {1, 0, 0, 0, 0}}, false}}) {
        machine.registry.put(RegRoot::LocalMachine, kProtectedPrintKey, kProtectedPrintValue,
                             r.value);
        EXPECT_EQ(protectedPrintModeOn(machine.registry), r.on)
            << "type " << r.value.type << ", " << r.value.data.size() << " bytes";
    }
    machine.registry.put(RegRoot::LocalMachine, kProtectedPrintKey, kProtectedPrintValue,
                         RegValue{reg::TypeDword, regDwordData(1)});
    const InstallReport report = installCall(named("LPT1:", true));
    EXPECT_TRUE(report.ran);
    EXPECT_EQ(exitCodeOf(report), 1603);
    EXPECT_EQ(finalMessageOf(report, FrontEnd::Wizard, true).text, report.failureMessage());
}

} // namespace
} // namespace vexo::test
