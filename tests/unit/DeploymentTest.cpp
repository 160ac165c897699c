#include "InstallFixture.h"

namespace vexo::test {
namespace {

using sim::DialogDriver;

std::function<void(DialogDriver&)> chooseModel(int m, bool setDefault = true) {
    return [m, setDefault](DialogDriver& d) {
        d.selectComboItem(IDC_SET_MODEL, m);
        if (!setDefault) {
            d.click(IDC_SET_DEFAULT_PRINTER);
        }
    };
}

// A whole installation on a fresh machine: `setUp` prepares the machine (and its faults),
// the port page installs on the row `port` after Search Port, `settings` prepares the
// settings page. `expected` is everything that changed and everything the user saw.
struct Scenario {
    const char* name;
    std::function<void(sim::SimMachine&, InstallerState&)> setUp;
    const char* port;
    std::function<void(DialogDriver&)> settings;
    std::string expected;
};

class WholeInstallTest : public InstallTest, public ::testing::WithParamInterface<Scenario> {};

TEST_P(WholeInstallTest, ChangesTheMachineAndTellsTheUserExactlyThis) {
    const Scenario& s = GetParam();
    if (s.setUp) {
        s.setUp(machine, state);
    }
    EXPECT_EQ(install(installOn(s.port), s.settings), IdOk);
    std::string got = changes();
    EXPECT_EQ(got, s.expected) << "what changed and what the user saw:\n" << got;
}

// The port page as it opens: its bar at 0 and the machine's ports on the debugger.
const std::string kPortList = R"--(  progress 0
  debugger "COM1:\x0A" "COM2:\x0A" "COM3:\x0A" "COM4:\x0A" "FILE:\x0A" "LPT1:\x0A" "LPT2:\x0A" "LPT3:\x0A"
)--";
// A deployment that went through: the pause comes before the last step.
const std::string kCompleted = R"--(  progress 10 20 30 40 50 60 70 80 90 95
  Sleep 500
  progress 100
  MessageBox "VexoSetup" style 0x30, answer 1:
  | Completed!
)--";

INSTANTIATE_TEST_SUITE_P(
    Installations, WholeInstallTest,
    ::testing::Values(
        Scenario{
            "K30AN_on_LPT1", nullptr, "LPT1:", chooseModel(3),
            R"--(+ HKLM\SOFTWARE\Microsoft\Windows NT\CurrentVersion\Print\Printers\K30AN: Name = REG_SZ "K30AN\0"
+ HKLM\SOFTWARE\Microsoft\Windows NT\CurrentVersion\Print\Printers\K30AN\DsSpooler: portName = REG_SZ "LPT1:\0"
+ HKLM\SYSTEM\ControlSet001\Control\Print\Printers\K30AN: Name = REG_SZ "K30AN\0"
+ HKLM\SYSTEM\ControlSet001\Control\Print\Printers\K30AN: Port = REG_SZ "LPT1:\0"
+ HKLM\SYSTEM\ControlSet001\Control\Print\Printers\K30AN: Printer Driver = REG_SZ "K30AN\0"
+ HKCU\Software\Microsoft\Windows NT\CurrentVersion\Windows: Device = REG_SZ "K30AN,winspool,LPT1:\0"
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
+ printer "K30AN": port "LPT1:", driver "K30AN", processor "WinPrint", data type "RAW", attributes 0
)--" + kPortList +
                kCompleted},
        Scenario{
            "M41_on_COM1_set_as_COM4_on_64_bit_Windows",
            [](sim::SimMachine& m, InstallerState&) { m.system.setWow64(true); }, "COM1:",
            [](DialogDriver& d) {
                d.selectComboItem(IDC_SET_MODEL, 5);
                d.selectComboItem(IDC_SET_PORT, 6, DialogDriver::EvenIfHidden); // COM4:
                d.selectComboItem(IDC_SET_FLOW, 0, DialogDriver::EvenIfHidden);
                d.selectComboItem(IDC_SET_BAUD, 8, DialogDriver::EvenIfHidden);
                d.selectComboItem(IDC_SET_PARITY, 4, DialogDriver::EvenIfHidden);
            },
            R"--(+ HKLM\SOFTWARE\Microsoft\Windows NT\CurrentVersion\Ports: COM4: = REG_SZ "115200,S,8,1, \0"
+ HKLM\SOFTWARE\Microsoft\Windows NT\CurrentVersion\Print\Printers\M41: Name = REG_SZ "M41\0"
+ HKLM\SOFTWARE\Microsoft\Windows NT\CurrentVersion\Print\Printers\M41\DsSpooler: portName = REG_SZ "COM1:\0"
+ HKLM\SYSTEM\ControlSet001\Control\Print\Printers\M41: Name = REG_SZ "M41\0"
+ HKLM\SYSTEM\ControlSet001\Control\Print\Printers\M41: Port = REG_SZ "COM1:\0"
+ HKLM\SYSTEM\ControlSet001\Control\Print\Printers\M41: Printer Driver = REG_SZ "M41\0"
+ HKCU\Software\Microsoft\Windows NT\CurrentVersion\Windows: Device = REG_SZ "M41,winspool,COM1:\0"
+ <drivers>\x64\M41.GPD "x64 M41.GPD"
+ <drivers>\x64\STDNAMES.GPD "x64 STDNAMES.GPD"
+ <drivers>\x64\TQ3XEv1.DLL "x64 TQ3XEv1.DLL"
+ <drivers>\x64\TTFSUB.GPD "x64 TTFSUB.GPD"
+ <drivers>\x64\UNIDRV.HLP "x64 UNIDRV.HLP"
+ <drivers>\x64\UNIRES.DLL "x64 UNIRES.DLL"
+ <drivers>\x64\uniDRV.DLL "x64 uniDRV.DLL"
+ <drivers>\x64\uniDRVui.DLL "x64 uniDRVui.DLL"
+ driver "M41" for "Windows x64": version 2, monitor "", data type "RAW"
+ driver "M41" for "Windows x64": driver <drivers>\x64\uniDRV.DLL
+ driver "M41" for "Windows x64": data <drivers>\x64\M41.GPD
+ driver "M41" for "Windows x64": configuration <drivers>\x64\uniDRVui.DLL
+ driver "M41" for "Windows x64": help <drivers>\x64\uniDRV.HLP
+ driver "M41" for "Windows x64": dependent "\ttfsub.GPD" "\unires.DLL" "\stdnames.GPD" "TQ3XEv1.DLL"
+ printer "M41": port "COM1:", driver "M41", processor "WinPrint", data type "RAW", attributes 0
)--" + kPortList +
                kCompleted},
        Scenario{
            "M42_without_default_on_COM3_as_LPT3", nullptr, "COM3:",
            [](DialogDriver& d) {
                chooseModel(6, false)(d);
                d.selectComboItem(IDC_SET_PORT, 2, DialogDriver::EvenIfHidden);
            },
            R"--(+ HKLM\SOFTWARE\Microsoft\Windows NT\CurrentVersion\Print\Printers\M42: Name = REG_SZ "M42\0"
+ HKLM\SOFTWARE\Microsoft\Windows NT\CurrentVersion\Print\Printers\M42\DsSpooler: portName = REG_SZ "COM3:\0"
+ HKLM\SYSTEM\ControlSet001\Control\Print\Printers\M42: Name = REG_SZ "M42\0"
+ HKLM\SYSTEM\ControlSet001\Control\Print\Printers\M42: Port = REG_SZ "COM3:\0"
+ HKLM\SYSTEM\ControlSet001\Control\Print\Printers\M42: Printer Driver = REG_SZ "M42\0"
+ <drivers>\w32x86\M42.GPD "x86 M42.GPD"
+ <drivers>\w32x86\STDNAMES.GPD "x86 STDNAMES.GPD"
+ <drivers>\w32x86\TQ3XEv1.DLL "x86 TQ3XEv1.DLL"
+ <drivers>\w32x86\TTFSUB.GPD "x86 TTFSUB.GPD"
+ <drivers>\w32x86\UNIDRV.HLP "x86 UNIDRV.HLP"
+ <drivers>\w32x86\UNIRES.DLL "x86 UNIRES.DLL"
+ <drivers>\w32x86\uniDRV.DLL "x86 uniDRV.DLL"
+ <drivers>\w32x86\uniDRVui.DLL "x86 uniDRVui.DLL"
+ driver "M42" for "Windows NT x86": version 2, monitor "", data type "RAW"
+ driver "M42" for "Windows NT x86": driver <drivers>\w32x86\uniDRV.DLL
+ driver "M42" for "Windows NT x86": data <drivers>\w32x86\M42.GPD
+ driver "M42" for "Windows NT x86": configuration <drivers>\w32x86\uniDRVui.DLL
+ driver "M42" for "Windows NT x86": help <drivers>\w32x86\uniDRV.HLP
+ driver "M42" for "Windows NT x86": dependent "\ttfsub.GPD" "\unires.DLL" "\stdnames.GPD" "TQ3XEv1.DLL"
+ printer "M42": port "COM3:", driver "M42", processor "WinPrint", data type "RAW", attributes 0
)--" + kPortList +
                kCompleted},
        Scenario{
            "Windows_98_shows_no_box",
            [](sim::SimMachine&, InstallerState& st) { st.osType = os_type::Windows98; },
            "FILE:", nullptr,
            R"--(+ HKLM\SOFTWARE\Microsoft\Windows NT\CurrentVersion\Print\Printers\K20A: Name = REG_SZ "K20A\0"
+ HKLM\SOFTWARE\Microsoft\Windows NT\CurrentVersion\Print\Printers\K20A\DsSpooler: portName = REG_SZ "FILE:\0"
+ HKLM\SYSTEM\ControlSet001\Control\Print\Printers\K20A: Name = REG_SZ "K20A\0"
+ HKLM\SYSTEM\ControlSet001\Control\Print\Printers\K20A: Port = REG_SZ "FILE:\0"
+ HKLM\SYSTEM\ControlSet001\Control\Print\Printers\K20A: Printer Driver = REG_SZ "K20A\0"
+ HKCU\Software\Microsoft\Windows NT\CurrentVersion\Windows: Device = REG_SZ "K20A,winspool,FILE:\0"
)--" + kK20aDriverX86 +
                R"--(+ printer "K20A": port "FILE:", driver "K20A", processor "WinPrint", data type "RAW", attributes 0
)--" + kPortList +
                R"--(  progress 10 20 30 40 50 60 70 80 90 95
  Sleep 500
  progress 100
)--"},
        Scenario{"a_missing_package_file",
                 [](sim::SimMachine& m, InstallerState&) {
                     std::filesystem::remove(m.host("C:\\VEXO\\Printer Driver\\x86\\UNIRES.DLL"));
                 },
                 "LPT1:", nullptr,
                 R"--(+ <drivers>\w32x86\STDNAMES.GPD "x86 STDNAMES.GPD"
+ <drivers>\w32x86\TQ20Ev1.DLL "x86 TQ20Ev1.DLL"
+ <drivers>\w32x86\TQ20P.GPD "x86 TQ20P.GPD"
+ <drivers>\w32x86\TTFSUB.GPD "x86 TTFSUB.GPD"
+ <drivers>\w32x86\UNIDRV.HLP "x86 UNIDRV.HLP"
+ <drivers>\w32x86\uniDRV.DLL "x86 uniDRV.DLL"
+ <drivers>\w32x86\uniDRVui.DLL "x86 uniDRVui.DLL"
)--" + kPortList +
                     R"--(  progress 10 20 30 40 50 60 70 80 90 95
  Sleep 500
  progress 100
  MessageBox "VexoSetup" style 0x10, answer 1:
  | The installation did not complete. These steps failed:
  | 
  | - Copy "Printer Driver\x86\UNIRES.DLL" to "C:\Windows\system32\spool\drivers\w32x86\UNIRES.DLL": The system cannot find the file specified. (error 2)
  | - Register the printer driver "K20A": The system cannot find the file specified. (error 2)
  | - Add the printer "K20A" on the port "LPT1:": The printer driver is unknown. (error 1797)
  | - The default printer was left as it was, since the printer "K20A" was not added
)--"},
        Scenario{"no_driver_directory",
                 [](sim::SimMachine& m, InstallerState&) {
                     m.faults.fail("GetPrinterDriverDirectory", err::RpcServerUnavailable);
                 },
                 "LPT1:", nullptr,
                 kPortList +
                     R"--(  progress 10 20 30 40 50 60 70 80 90 95
  Sleep 500
  progress 100
  MessageBox "VexoSetup" style 0x10, answer 1:
  | The installation did not complete. These steps failed:
  | 
  | - Find the printer driver directory for "Windows NT x86"; no file was copied and no driver was registered: The RPC server is unavailable. (error 1722)
  | - Add the printer "K20A" on the port "LPT1:": The printer driver is unknown. (error 1797)
  | - The default printer was left as it was, since the printer "K20A" was not added
)--"},
        Scenario{"an_empty_driver_directory",
                 [](sim::SimMachine& m, InstallerState&) {
                     m.spooler.setDriverDirectory("Windows NT x86", "");
                 },
                 "LPT1:", nullptr, kPortList + R"--(  progress 10 20 30 40 50 60 70 80 90 95
  Sleep 500
  progress 100
  MessageBox "VexoSetup" style 0x10, answer 1:
  | The installation did not complete. These steps failed:
  | 
  | - Find the printer driver directory for "Windows NT x86"; no file was copied and no driver was registered: The system cannot find the path specified. (error 3)
  | - Add the printer "K20A" on the port "LPT1:": The printer driver is unknown. (error 1797)
  | - The default printer was left as it was, since the printer "K20A" was not added
)--"},
        Scenario{
            "the_default_printer_refused",
            [](sim::SimMachine& m, InstallerState&) {
                m.faults.fail("RegSetValueEx", err::AccessDenied, "Windows:Device");
            },
            "LPT1:", nullptr,
            R"--(+ HKLM\SOFTWARE\Microsoft\Windows NT\CurrentVersion\Print\Printers\K20A: Name = REG_SZ "K20A\0"
+ HKLM\SOFTWARE\Microsoft\Windows NT\CurrentVersion\Print\Printers\K20A\DsSpooler: portName = REG_SZ "LPT1:\0"
+ HKLM\SYSTEM\ControlSet001\Control\Print\Printers\K20A: Name = REG_SZ "K20A\0"
+ HKLM\SYSTEM\ControlSet001\Control\Print\Printers\K20A: Port = REG_SZ "LPT1:\0"
+ HKLM\SYSTEM\ControlSet001\Control\Print\Printers\K20A: Printer Driver = REG_SZ "K20A\0"
)--" + kK20aDriverX86 +
                R"--(+ printer "K20A": port "LPT1:", driver "K20A", processor "WinPrint", data type "RAW", attributes 0
)--" + kPortList +
                R"--(  progress 10 20 30 40 50 60 70 80
  MessageBox "VexoSetup" style 0x30, answer 1:
  | 错误：无法设置有关的注册表信息
  progress 90 95
  Sleep 500
  progress 100
  MessageBox "VexoSetup" style 0x10, answer 1:
  | The installation did not complete. These steps failed:
  | 
  | - Make "K20A" the default printer: write the value "Device": Access is denied. (error 5)
)--"},
        Scenario{
            "the_line_settings_refused",
            [](sim::SimMachine& m, InstallerState&) {
                m.faults.fail("RegSetValueEx", err::AccessDenied, "Ports:COM1:");
            },
            "COM1:",
            [](DialogDriver& d) { d.selectComboItem(IDC_SET_PORT, 3, DialogDriver::EvenIfHidden); },
            R"--(+ HKLM\SOFTWARE\Microsoft\Windows NT\CurrentVersion\Print\Printers\K20A: Name = REG_SZ "K20A\0"
+ HKLM\SOFTWARE\Microsoft\Windows NT\CurrentVersion\Print\Printers\K20A\DsSpooler: portName = REG_SZ "COM1:\0"
+ HKLM\SYSTEM\ControlSet001\Control\Print\Printers\K20A: Name = REG_SZ "K20A\0"
+ HKLM\SYSTEM\ControlSet001\Control\Print\Printers\K20A: Port = REG_SZ "COM1:\0"
+ HKLM\SYSTEM\ControlSet001\Control\Print\Printers\K20A: Printer Driver = REG_SZ "K20A\0"
+ HKCU\Software\Microsoft\Windows NT\CurrentVersion\Windows: Device = REG_SZ "K20A,winspool,COM1:\0"
)--" + kK20aDriverX86 +
                R"--(+ printer "K20A": port "COM1:", driver "K20A", processor "WinPrint", data type "RAW", attributes 0
)--" + kPortList +
                R"--(  progress 10 20 30 40 50 60 70 80 90
  MessageBox "VexoSetup" style 0x30, answer 1:
  | 错误：无法设置有关的注册表信息
  progress 95
  Sleep 500
  progress 100
  MessageBox "VexoSetup" style 0x10, answer 1:
  | The installation did not complete. These steps failed:
  | 
  | - Save the line settings of "COM1:": write the value "COM1:": Access is denied. (error 5)
)--"}),
    [](const ::testing::TestParamInfo<Scenario>& p) { return std::string(p.param.name); });

// The deployment's own failures, each reported instead of "Completed!".
class DeploymentFailureTest : public InstallTest {
  protected:
    bool completedShown() const {
        for (const auto& b : ui.messageBoxes()) {
            if (b.text.rfind("Completed!", 0) == 0) {
                return true;
            }
        }
        return false;
    }
};

TEST_F(DeploymentFailureTest, AFailedCopyOrRegistrationIsReportedOnEveryWindowsVersion) {
    state.osType = os_type::Windows98; // no "Completed!" box at all
    machine.faults.fail("AddPrinterDriver", err::AccessDenied);
    install(installOn("LPT1:"));
    ASSERT_EQ(ui.messageBoxes().size(), 1u);
    EXPECT_NE(lastBoxText().find("Access is denied."), std::string::npos);

    machine.faults.fail("CopyFile", err::SharingViolation, "uniDRV.DLL");
    install(installOn("LPT1:"));
    EXPECT_NE(lastBoxText().find("Copy \"Printer Driver\\x86\\uniDRV.DLL\""), std::string::npos)
        << lastBoxText();
}

// The wizard keeps an existing printer of this model where it is, and says where that is;
// one on another driver is not this model's: a failure that names that driver.
TEST_F(DeploymentFailureTest, AnExistingPrinterIsKeptAndTheReportSaysWhatItIs) {
    install(installOn("LPT1:"));
    install(installOn("LPT2:"), chooseModel(0, false));
    EXPECT_EQ(machine.spooler.printers().size(), 1u);
    EXPECT_EQ(machine.spooler.printers()[0].info.portName, "LPT1:");
    EXPECT_EQ(lastBoxText(), "Completed!\r\n\r\nThe printer \"K20A\" was already installed: it "
                             "is on the port \"LPT1:\"; it kept its other settings.");
    install(installOn("LPT2:"));
    EXPECT_EQ(lastBoxText(), "Completed!\r\n\r\nThe printer \"K20A\" was already installed: it "
                             "is on the port \"LPT1:\" and it was made the default printer; it "
                             "kept its other settings.");
    EXPECT_EQ(state.exitCode, 0);
    // The USB port search rewrites the printer's port in its keys.
    machine.spooler.addLocalPort("USB001", "Virtual printer port for USB");
    machine.system.setVersion({6, 2, 9200, PlatformNt});
    state.autoPortFlag = 1;
    answerUsbRetry(IdCancel);
    installAutomatic(chooseModel(0, false));
    EXPECT_EQ(lastBoxText(), "Completed!\r\n\r\nThe printer \"K20A\" was already installed: "
                             "its port was set to \"USB001\"; it kept its other settings.");

    ASSERT_EQ(machine.spooler.deletePrinter("K20A"), err::Success);
    existing("LPT1:", "Generic / Text Only")(machine);
    install(installOn("LPT2:"));
    EXPECT_EQ(lastBoxText(),
              "The installation did not complete. These steps failed:\r\n\r\n- Add the printer "
              "\"K20A\" on the port \"LPT2:\": a printer of that name exists already, on the "
              "driver \"Generic / Text Only\", which is not this model's; it was left as it "
              "is\r\n- The default printer was left as it was, since the printer \"K20A\" is not "
              "this model's");
    EXPECT_EQ(state.exitCode, 1603);
    EXPECT_EQ(machine.spooler.printers()[0].info.driverName, "Generic / Text Only");
}

TEST_F(DeploymentFailureTest, AMissingUsersKeyIsAFailureWithoutTheRegistryMessage) {
    // As in a fresh Wine prefix.
    machine.faults.fail("RegOpenKeyEx", err::FileNotFound, "CurrentVersion\\Windows");
    install(installOn("LPT1:"));
    ASSERT_EQ(ui.messageBoxes().size(), 1u);
    EXPECT_NE(lastBoxText().find("- Make \"K20A\" the default printer: open the key "
                                 "\"Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows\": "
                                 "The system cannot find the file specified. (error 2)"),
              std::string::npos)
        << lastBoxText();
}

TEST_F(DeploymentFailureTest, NoPortChosenAddsNoPrinter) {
    // Automatic choice with no USB, COM, LPT or FILE port at all: the group is empty.
    machine.spooler.ports().clear();
    machine.system.setVersion({6, 2, 9200, PlatformNt});
    answerUsbRetry(IdCancel);
    installAutomatic();
    EXPECT_TRUE(machine.faults.callsOf("AddPrinter").empty());
    EXPECT_NE(lastBoxText().find("No port was chosen"), std::string::npos) << lastBoxText();
    // The user's default printer is not replaced by one that does not exist.
    EXPECT_FALSE(machine.registry.get(RegRoot::CurrentUser,
                                      "Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows",
                                      "Device"));
    EXPECT_NE(lastBoxText().find("default printer was left as it was"), std::string::npos);
    EXPECT_FALSE(completedShown());
}

} // namespace
} // namespace vexo::test

namespace vexo::test {
namespace {

TEST_F(InstallTest, ReadOnlyPackageFilesInstallTwice) {
    for (const std::string& f : kPackageFiles) {
        std::filesystem::permissions(machine.host("C:\\VEXO\\Printer Driver\\x86\\" + f),
                                     std::filesystem::perms::owner_write,
                                     std::filesystem::perm_options::remove);
    }
    install(installOn("LPT1:"));
    install(installOn("LPT1:"));
    EXPECT_TRUE(completed()) << lastBoxText();
    EXPECT_EQ(machine.system.copies().size(), 16u);
    for (const auto& c : machine.system.copies()) {
        EXPECT_EQ(c.result, err::Success) << c.destination;
    }
}

TEST_F(InstallTest, AFolderThatIsNoDriverPackageIsNamedInTheReport) {
    machine.system.setCurrentDirectory("C:\\Users\\me\\Downloads");
    std::filesystem::create_directories(machine.host("C:\\Users\\me\\Downloads"));
    install(installOn("LPT1:"));
    EXPECT_TRUE(machine.system.copies().empty());
    std::string box = ui.messageBoxes().back().text;
    EXPECT_NE(box.find("\"C:\\Users\\me\\Downloads\\Printer Driver\\x86\" was not found"),
              std::string::npos)
        << box;
}

TEST_F(InstallTest, EmptyPackageFilesAreCopiedAsTheyAre) {
    machine.writeFile("C:\\VEXO\\Printer Driver\\x86\\UNIDRV.HLP", "");
    install(installOn("LPT1:"));
    EXPECT_TRUE(completed()) << lastBoxText();
    EXPECT_EQ(std::filesystem::file_size(machine.host(std::string(kX86Dir) + "\\UNIDRV.HLP")), 0u);
}

TEST_F(InstallTest, APackageOnALongChinesePathInstalls) {
    std::string dir = "C:\\下载";
    for (int i = 0; i < 4; ++i) {
        dir += "\\" + std::string(70, static_cast<char>('p' + i));
    }
    dir += "\\驱动程序"; // over 300 characters in all
    for (const std::string& f : kPackageFiles) {
        machine.writeFile(dir + "\\Printer Driver\\x86\\" + f, f);
    }
    machine.system.setCurrentDirectory(dir);
    install(installOn("LPT1:"));
    EXPECT_TRUE(completed()) << lastBoxText();
    EXPECT_EQ(machine.spooler.printers().size(), 1u);
}

} // namespace
} // namespace vexo::test

namespace vexo::test {
namespace {

TEST_F(InstallTest, CompletedIsShownOnlyOnTheNtFamily) {
    for (int os : {0, 1, 2, 3, 9}) {
        state.osType = static_cast<OsTypeCode>(os);
        std::size_t before = ui.messageBoxes().size();
        EXPECT_EQ(install(installOn("LPT1:")), IdOk);
        EXPECT_EQ(ui.messageBoxes().size() - before, os >= 3 ? 1u : 0u) << "osType " << os;
    }
}

} // namespace
} // namespace vexo::test
