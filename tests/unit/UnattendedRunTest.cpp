// The command line's run on the simulated machine: what it changes, what it writes to its
// log, the exit code, and that a quiet run never opens a window.
#include "cli/UnattendedRun.h"
#include "InstallFixture.h"
#include "app/InstallerApp.h"
#include "install/DriverDeployment.h"
#include "install/ExitCodes.h"
#include "install/UsbPortBinding.h"
#include "platform/Text.h"

#include <fstream>

namespace vexo::test {
namespace {

namespace fs = std::filesystem;

constexpr const char* kLog = "C:\\VEXO\\setup.log";

class UnattendedRunTest : public InstallTest {
  protected:
    UnattendedRunTest() {
        machine.system.setVersion({10, 0, 19045, PlatformNt});
        machine.spooler.addLocalPort("USB001", "Virtual printer port for USB");
    }

    // Runs the arguments as the program's command line.
    int run(std::vector<std::string> args) {
        std::string text = "VexoSetup.exe";
        for (const std::string& a : args) {
            text += " " + a;
        }
        before_ = machine.state();
        return runUnattended(platform, parseCommandLine(args), text);
    }
    std::string read(const std::string& windowsPath) const {
        std::ifstream in(machine.host(windowsPath), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    std::string log() const { return read(kLog); }
    // The log's lines without their time, each ended by "\n"; every line must begin with the
    // local time and end in CR LF.
    std::string logTexts() const {
        constexpr std::string_view time = "2026-12-08 10:00:00.000  ";
        std::string got;
        const std::string text = log();
        for (std::size_t from = 0; from < text.size();) {
            std::size_t end = text.find("\r\n", from);
            std::string line = text.substr(from, end - from);
            EXPECT_NE(end, std::string::npos) << "every line ends in CR LF";
            EXPECT_EQ(line.rfind(time, 0), 0u) << "every line begins with the local time: " << line;
            got += line.substr(std::min(line.size(), time.size())) + "\n";
            from = end == std::string::npos ? text.size() : end + 2;
        }
        return got;
    }
    // The machine's state lines that differ from before the run, the log file's aside.
    std::vector<std::string> changedBesidesLogs() const {
        std::vector<std::string> now = machine.state(), out;
        auto isLog = [](const std::string& line) {
            return line.find(".log\"") != std::string::npos ||
                   line.find(".log ") != std::string::npos;
        };
        for (const std::string& l : now) {
            if (!isLog(l) && std::find(before_.begin(), before_.end(), l) == before_.end()) {
                out.push_back("+ " + l);
            }
        }
        for (const std::string& l : before_) {
            if (!isLog(l) && std::find(now.begin(), now.end(), l) == now.end()) {
                out.push_back("- " + l);
            }
        }
        return out;
    }
    bool printerThere(const std::string& name) const {
        return std::any_of(machine.spooler.printers().begin(), machine.spooler.printers().end(),
                           [&](const auto& p) { return p.info.printerName == name; });
    }

    std::vector<std::string> before_;
};

constexpr const char* kTime = "2026-12-08 10:00:00.000  ";

TEST_F(UnattendedRunTest, AQuietInstallOnANamedPortLogsEveryStepAndShowsNothing) {
    EXPECT_EQ(run({"/quiet", "/model", "k20a", "/port", "lpt1", "/log", kLog}), kExitSuccess);

    EXPECT_TRUE(ui.messageBoxes().empty());
    EXPECT_TRUE(ui.openedDialogs().empty());
    ASSERT_EQ(machine.spooler.printers().size(), 1u);
    EXPECT_EQ(machine.spooler.printers()[0].info.portName, "LPT1:") << "the spooler's spelling";
    const std::string dir = "C:\\Windows\\system32\\spool\\drivers\\w32x86\\";
    std::string expected = "VexoSetup.exe /quiet /model k20a /port lpt1 /log C:\\VEXO\\setup.log\n"
                           "VexoSetup version 4.0.0.0, a 32-bit program\n"
                           "Windows 10.0 build 19045, 32-bit\n"
                           "Account: VEXO-PC\\user\n"
                           "Checked the driver package \"C:\\VEXO\": only administrators and "
                           "this account can change it\n"
                           "The port \"LPT1:\" was named\n";
    for (const char* f : {"TQ20Ev1.DLL", "TQ20P.GPD", "uniDRVui.DLL", "uniDRV.DLL", "UNIDRV.HLP",
                          "UNIRES.DLL", "TTFSUB.GPD", "STDNAMES.GPD"}) {
        expected +=
            std::string("Copy \"Printer Driver\\x86\\") + f + "\" to \"" + dir + f + "\": done\n";
    }
    expected += "Register the printer driver \"K20A\": done\n"
                "Add the printer \"K20A\" on the port \"LPT1:\": done\n"
                "Make \"K20A\" the default printer: done\n"
                "Installed: the printer \"K20A\" on the port \"LPT1:\"\n"
                "Exit code 0\n";
    EXPECT_EQ(logTexts(), "Command line: " + expected);

    // Again on LPT2:, the printer there already: its port is set; the log says so and the
    // last line is true. On another maker's driver the printer is not this model's: 1603.
    const std::string steps = expected.substr(expected.find("Copy "));
    auto again = [&](const std::string& addLine, const std::string& outcome, int code) {
        fs::remove(machine.host(kLog));
        EXPECT_EQ(run({"/quiet", "/model", "K20A", "/port", "LPT2:", "/log", kLog}), code);
        std::string want = steps.substr(0, steps.find("Add the printer")) + addLine + "\n";
        if (code == kExitSuccess) {
            want += "Make \"K20A\" the default printer: done\n";
        }
        EXPECT_EQ(logTexts().substr(logTexts().find("Copy ")), want + outcome);
    };
    again("Add the printer \"K20A\" on the port \"LPT2:\": the printer exists already, on the "
          "port \"LPT1:\": its port was set to \"LPT2:\"; it keeps its other settings",
          "Installed: the printer \"K20A\" on the port \"LPT2:\"\nExit code 0\n", kExitSuccess);
    EXPECT_EQ(machine.spooler.printers()[0].info.portName, "LPT2:");

    ASSERT_EQ(machine.spooler.deletePrinter("K20A"), err::Success);
    existing("LPT1:", "Generic / Text Only")(machine);
    fs::remove(machine.host(kLog));
    EXPECT_EQ(run({"/quiet", "/model", "K20A", "/port", "LPT2:", "/log", kLog}),
              kExitInstallFailed);
    const std::string log = logTexts();
    EXPECT_EQ(log.substr(log.find("Add the printer")),
              "Add the printer \"K20A\": a printer of that name exists already, on the driver "
              "\"Generic / Text Only\", which is not this model's; it was left as it is and "
              "nothing was changed\nThe installation did not complete: 1 step failed\n"
              "Exit code 1603\n");
    EXPECT_EQ(machine.spooler.printers()[0].info.portName, "LPT1:");
}

// The log is an administrator's only view of a run: each kind of run's log, whole (after its
// header, which the test above pins).
TEST_F(UnattendedRunTest, EachKindOfRunLogsExactlyThis) {
    const std::string header = "VexoSetup version 4.0.0.0, a 32-bit program\n"
                               "Windows 10.0 build 19045, 32-bit\n"
                               "Account: VEXO-PC\\user\n";
    struct Row {
        const char* what;
        std::function<void()> setUp;
        std::vector<std::string> args;
        int exitCode;
        std::string log;        // after the header
        std::string shown = ""; // the arguments as the header shows them, when not as given
    };
    const std::string checked = "Checked the driver package \"C:\\VEXO\": only administrators and "
                                "this account can change it\n";
    std::string copies, copiesUndone;
    for (const char* f : {"TQ20Ev1.DLL", "TQ20P.GPD", "uniDRVui.DLL", "uniDRV.DLL", "UNIDRV.HLP",
                          "UNIRES.DLL", "TTFSUB.GPD", "STDNAMES.GPD"}) {
        const std::string copy = std::string("C:\\Windows\\system32\\spool\\drivers\\w32x86\\") + f;
        copies +=
            std::string("Copy \"Printer Driver\\x86\\") + f + "\" to \"" + copy + "\": done\n";
        copiesUndone = "Undo: delete the file \"" + copy + "\": done\n" + copiesUndone;
    }
    const std::string removeDriver =
        "Delete the printer driver \"K20A\" for \"Windows NT x86\", version 2: ";
    const std::vector<Row> rows = {
        {"a failed network installation, undone",
         [&] {
             machine.spooler.monitors().push_back(MonitorInfo1{kTcpMonitor});
             machine.faults.fail("AddPrinter", err::AccessDenied);
             // An undo that fails is logged, and the rest are still undone.
             machine.faults.fail("DeletePrinterDriverEx", err::AccessDenied);
         },
         {"/quiet", "/model", "K20A", "/ip", "10.0.0.20", "/nodefault"},
         kExitInstallFailed,
         checked + "Create the Standard TCP/IP port \"IP_10.0.0.20\": done\n" + copies +
             "Register the printer driver \"K20A\": done\n"
             "Add the printer \"K20A\" on the port \"IP_10.0.0.20\": Access is denied. (error 5)\n"
             "The installation failed: what it changed is undone, newest first\n"
             "Undo: delete the printer driver \"K20A\" for \"Windows NT x86\", version 2: Access "
             "is denied. (error 5)\n" +
             copiesUndone +
             "Undo: delete the port \"IP_10.0.0.20\": done\n"
             "1 undo failed: what it names stays as the run left it\n"
             "The installation did not complete: 1 step failed\n"
             "Exit code 1603\n"},
        {"a USB installation",
         [&] { machine.spooler.connectPrinterAt("USB001"); },
         {"/quiet", "/model", "K20A", "/nodefault"},
         kExitSuccess,
         checked +
             "Port discovery found USB ports: USB001; serial: none; parallel: LPT1:, LPT2:, "
             "LPT3:; TCP/IP: none. The automatic choice takes \"USB001\", the first port of the "
             "USB group\n"
             "Bound the printer to the USB port \"USB001\": the printer is not on line there\n"
             "No USB port brought the printer on line. Nobody is at the screen to answer \"Fail "
             "to select port\", so the installation goes on as after Cancel: the printer stays on "
             "the port discovery chose\n" +
             copies +
             "Register the printer driver \"K20A\": done\n"
             "Add the printer \"K20A\" on the port \"USB001\": done\n"
             "Installed: the printer \"K20A\" on the port \"USB001\"\n"
             "Exit code 0\n"},
        {"a removal",
         nullptr,
         {"/quiet", "/uninstall", "/model", "K20A"},
         kExitSuccess,
         "Delete the printer \"K20A\": done\n" + removeDriver +
             "done, with the files no other driver uses\n"
             "The printer \"K20A\" was removed. Its driver was removed.\n"
             "Exit code 0\n"},
        {"nothing to remove",
         nullptr,
         {"/quiet", "/uninstall", "/model", "K20A"},
         kExitSuccess,
         "Delete the printer \"K20A\": there is no such printer\n"
         "Delete the printer driver \"K20A\" for \"Windows NT x86\": there is no such driver\n"
         "The printer \"K20A\" is not installed: nothing to remove.\n"
         "Exit code 0\n"},
        {"a removal of a printer with jobs",
         [&] {
             ASSERT_EQ(run({"/quiet", "/model", "K20A", "/port", "LPT1:"}), kExitSuccess);
             machine.spooler.setJobs("K20A", 2);
         },
         {"/quiet", "/uninstall", "/model", "K20A"},
         kExitInstallFailed,
         "The printer \"K20A\" still has 2 print jobs: it is marked for deletion and goes when "
         "they end; its driver stays until then, so run the removal again later\n"
         "The printer \"K20A\" is marked for deletion: it goes when its 2 print jobs end. Its "
         "driver was kept until then: run the removal again later.\n"
         "Exit code 1603\n"},
        {"a removal whose driver another printer uses",
         [&] {
             machine.spooler.setJobs("K20A", 0); // the jobs ended: the printer went
             ASSERT_EQ(machine.spooler.deletePrinter("K20A"), err::Success);
             ASSERT_EQ(run({"/quiet", "/model", "K20A", "/port", "LPT1:"}), kExitSuccess);
             PrinterInfo2 other = machine.spooler.printers()[0].info;
             other.printerName = "Office";
             machine.spooler.putPrinter(other);
         },
         {"/quiet", "/uninstall", "/model", "K20A"},
         kExitSuccess,
         "Delete the printer \"K20A\": done\n"
         "The driver \"K20A\" was kept: the printer \"Office\" still uses it\n"
         "The printer \"K20A\" was removed. Its driver was kept: \"Office\" still uses it.\n"
         "Exit code 0\n"},
        {"a rollback without a record",
         nullptr,
         {"/quiet", "/rollback", "C:\\VEXO\\none.rec", "/token", "t1"},
         kExitSuccess,
         "There is no change record \"C:\\VEXO\\none.rec\": nothing to undo\nExit code 0\n"},
        {"a rollback of an installation's record",
         [&] {
             ASSERT_EQ(run({"/quiet", "/model", "K20A", "/port", "LPT1:", "/record",
                            "C:\\VEXO\\r.rec", "/token", "t1"}),
                       kExitSuccess);
         },
         {"/quiet", "/rollback", "C:\\VEXO\\r.rec", "/token", "t1"},
         kExitSuccess,
         "Undo the installation of the change record \"C:\\VEXO\\r.rec\", newest change first\n"
         "Undo: put back the value \"Device\" of \"HKEY_CURRENT_USER\\Software\\Microsoft\\Windows "
         "NT\\CurrentVersion\\Windows\": done\n"
         "Undo: delete the printer \"K20A\": done\n"
         "Everything the installation changed was undone\n"
         "Deleted the change record \"C:\\VEXO\\r.rec\"\n"
         "Exit code 0\n"},
        {"the same rollback again",
         nullptr,
         {"/quiet", "/rollback", "C:\\VEXO\\r.rec", "/token", "t1"},
         kExitSuccess,
         "There is no change record \"C:\\VEXO\\r.rec\": nothing to undo\nExit code 0\n"},
        {"a rollback of another run's record",
         [&] {
             ASSERT_EQ(run({"/quiet", "/model", "K20A", "/port", "LPT1:", "/record",
                            "C:\\VEXO\\r.rec", "/token", "t2"}),
                       kExitSuccess);
         },
         {"/quiet", "/rollback", "C:\\VEXO\\r.rec", "/token", "t1"},
         kExitSuccess,
         "The change record \"C:\\VEXO\\r.rec\" is not this installation's (its token is "
         "another): nothing was undone\nExit code 0\n"},
        {"a rollback of a record others can change",
         [&] {
             machine.system.setSecurity(
                 "C:\\VEXO\\r.rec",
                 ObjectSecurity{sids::Administrators,
                                true,
                                {AccessEntry{ace::Allowed, 0, rights::GenericWrite, sids::Users}}});
         },
         {"/quiet", "/rollback", "C:\\VEXO\\r.rec", "/token", "t2"},
         kExitInstallFailed,
         "The change record \"C:\\VEXO\\r.rec\" is not safe to undo: BUILTIN\\Users may write "
         "\"C:\\VEXO\\r.rec\". Nothing was undone\nExit code 1603\n"},
        {"a refused line",
         nullptr,
         {"/quiet", "/model", "K20A", "/port", "USB00"},
         kExitInvalidCommandLine,
         "The command line was refused: the spooler lists no port \"USB00\" (its ports: COM1:, "
         "COM2:, COM3:, COM4:, FILE:, LPT1:, LPT2:, LPT3:, USB001). Nothing was changed\n"
         "Exit code 1639\n"},
        {"a name that would forge a line",
         nullptr,
         {"/quiet", "/model", "K20A", "/name", "Office\r\nExit code 0", "/comment", "\a"},
         kExitInvalidCommandLine,
         "The command line was refused: '/name Office\\r\\nExit code 0': a line break, a tab or "
         "another control character is not allowed in it. Nothing was changed\n"
         "Exit code 1639\n",
         "/quiet /model K20A /name Office\\r\\nExit code 0 /comment \\x07"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        if (r.setUp) {
            r.setUp();
        }
        fs::remove(machine.host(kLog));
        std::vector<std::string> args = r.args;
        args.insert(args.end(), {"/log", kLog});
        std::string commandLine = "VexoSetup.exe";
        for (const std::string& a : args) {
            commandLine += " " + a;
        }
        if (!r.shown.empty()) {
            commandLine = cat({"VexoSetup.exe ", r.shown, " /log ", kLog});
        }
        EXPECT_EQ(run(args), r.exitCode);
        EXPECT_EQ(logTexts(), "Command line: " + commandLine + "\n" + header + r.log);
    }
    // The architecture in the header, as IsWow64Process2 (Windows 10 1709 and later) or else
    // IsWow64Process answers the shipped x86 program: Windows 10 on ARM answers IsWow64Process
    // false, Windows 11 on ARM true.
    const std::tuple<std::optional<std::uint16_t>, bool, const char*> machines[] = {
        {std::nullopt, true, "64-bit (this program runs under WoW64)"},
        {kImageMachineAmd64, true, "64-bit (this program runs under WoW64)"},
        {kImageMachineArm64, false,
         "Windows on ARM (64-bit): this program, the x86 build, runs "
         "under emulation"},
        {kImageMachineArm64, true,
         "Windows on ARM (64-bit): this program, the x86 build, runs "
         "under emulation"}};
    for (const auto& [native, wow64, text] : machines) {
        machine.system.setNativeMachine(native);
        machine.system.setWow64(wow64);
        fs::remove(machine.host(kLog));
        (void)run({"/quiet", "/model", "K99", "/log", kLog});
        EXPECT_NE(logTexts().find(std::string("\nWindows 10.0 build 19045, ") + text + "\n"),
                  std::string::npos)
            << logTexts();
    }
}

TEST_F(UnattendedRunTest, TheAutomaticChoiceGoesOnAsCancelAndSaysWhichPortItTook) {
    machine.spooler.connectPrinterAt(std::nullopt); // never on line
    EXPECT_EQ(run({"-QUIET", "-model=K20A", "/log=" + std::string(kLog)}), kExitSuccess);
    EXPECT_TRUE(ui.messageBoxes().empty());
    std::string text = log();
    EXPECT_NE(text.find("The automatic choice takes \"USB001\", the first port of the USB group"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("Bound the printer to the USB port \"USB001\": the printer is not on line"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("so the installation goes on as after Cancel"), std::string::npos) << text;
    EXPECT_TRUE(printerThere("K20A"));

    // Without /quiet the question is asked, as the wizard asks it.
    ui.answerMessageBox(IdCancel);
    EXPECT_EQ(run({"/model=K20A", "/log=" + std::string(kLog)}), kExitSuccess);
    ASSERT_FALSE(ui.messageBoxes().empty());
    EXPECT_EQ(ui.messageBoxes()[0].caption, kUsbRetryCaption);
    EXPECT_EQ(ui.messageBoxes()[0].style, mb::RetryCancel);
    EXPECT_NE(log().find("No USB port brought the printer on line; the user answered Cancel"),
              std::string::npos)
        << log();
}

TEST_F(UnattendedRunTest, ASerialLineIsWrittenForTheNamedComPort) {
    EXPECT_EQ(run({"/quiet", "/model", "K20A", "/port", "COM3:", "/serial", "9600,E,7,1,x",
                   "/nodefault"}),
              kExitSuccess);
    auto line = machine.registry.get(
        RegRoot::LocalMachine, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Ports", "COM3:");
    ASSERT_TRUE(line);
    EXPECT_EQ(line->data, regSzData("9600,E,7,1,x"));
    EXPECT_FALSE(machine.registry.get(
        RegRoot::CurrentUser, "Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows", "Device"))
        << "/nodefault leaves the default printer alone";
}

// Printers of one model, each with its name and port, share the driver, which goes with the
// last of them; a network printer's port stays, as Windows' own removal keeps ports. The log
// shows the SNMP community nowhere, not even on a refused line.
TEST_F(UnattendedRunTest, PrintersOfOneModelShareTheDriverUntilTheLastGoes) {
    EXPECT_EQ(run({"/quiet", "/model", "K20A", "/ip", "10.0.0.20", "/snmp=s3cret", "/name",
                   "Front desk", "/location", "2nd floor", "/log", kLog}),
              kExitSuccess);
    EXPECT_EQ(run({"/quiet", "/model", "K20A", "/port", "LPT1:", "/name", "Back office",
                   "/nodefault", "/log", kLog}),
              kExitSuccess);
    std::string text = logTexts();
    for (const char* line :
         {"Command line: VexoSetup.exe /quiet /model K20A /ip 10.0.0.20 /snmp=*** /name Front "
          "desk /location 2nd floor /log C:\\VEXO\\setup.log\n",
          "Create the Standard TCP/IP port \"IP_10.0.0.20\": done\n",
          "Register the printer driver \"K20A\": done\n",
          "Make \"Front desk\" the default printer: done\n",
          "Installed: the printer \"Front desk\" on the port \"IP_10.0.0.20\"\n",
          "Installed: the printer \"Back office\" on the port \"LPT1:\"\n"}) {
        EXPECT_NE(text.find(line), std::string::npos) << line << text;
    }
    EXPECT_EQ(machine.spooler.printers().size(), 2u);
    ASSERT_EQ(machine.spooler.drivers().size(), 1u);

    EXPECT_EQ(run({"/quiet", "/uninstall", "/model", "K20A", "/name", "Front desk", "/log", kLog}),
              kExitSuccess);
    EXPECT_FALSE(printerThere("Front desk"));
    EXPECT_TRUE(printerThere("Back office"));
    EXPECT_EQ(machine.spooler.drivers().size(), 1u);
    EXPECT_NE(log().find("The driver \"K20A\" was kept: the printer \"Back office\" still uses it"),
              std::string::npos)
        << log();
    EXPECT_EQ(run({"/quiet", "/uninstall", "/model", "K20A", "/name", "Back office"}),
              kExitSuccess);
    EXPECT_TRUE(machine.spooler.printers().empty());
    EXPECT_TRUE(machine.spooler.drivers().empty());
    EXPECT_EQ(machine.spooler.ports().back().portName, "IP_10.0.0.20");

    EXPECT_EQ(run({"/quiet", "/model", "K20A", "/snmp", "s3cret", "/log", kLog}),
              kExitInvalidCommandLine);
    EXPECT_NE(log().find("'/snmp ***' needs /ip HOST"), std::string::npos) << log();
    EXPECT_EQ(log().find("s3cret"), std::string::npos) << log();
}

// A refused run changes nothing but its log, whatever was refused, and says why.
TEST_F(UnattendedRunTest, ARefusedCommandLineChangesNothing) {
    struct Refusal {
        std::vector<std::string> args;
        const char* why;
    };
    for (const Refusal& r : std::vector<Refusal>{
             {{"/quiet", "/model", "K20A", "/port", "LPT9:"},
              "the spooler lists no port \"LPT9:\""},
             // A name matches with or without its colon, never as a prefix.
             {{"/quiet", "/model", "K20A", "/port", "USB00"},
              "the spooler lists no port \"USB00\""},
             {{"/quiet", "/model", "K99"}, "unknown model"},
             {{"/quiet", "/model", "K20A", "/bogus"}, "unknown switch '/bogus'"},
             {{"/quiet", "/port", "LPT1:"}, "needs /model MODEL"},
             {{"/quiet", "/model", "K20A", "/port", "LPT1:", "/serial", "9600,E,7,1,x"},
              "needs /port COM1, COM2, COM3 or COM4"}}) {
        std::vector<std::string> args = r.args;
        args.insert(args.end(), {"/log", kLog});
        EXPECT_EQ(run(args), kExitInvalidCommandLine) << args[2];
        EXPECT_EQ(changedBesidesLogs(), std::vector<std::string>{}) << args[2];
        std::string text = log();
        EXPECT_NE(text.find("The command line was refused: "), std::string::npos) << text;
        EXPECT_NE(text.find(r.why), std::string::npos) << text;
        EXPECT_NE(text.find("Exit code 1639"), std::string::npos) << text;
    }
    EXPECT_TRUE(ui.messageBoxes().empty()) << "quiet";
}

// An elevated run installs the package's DLLs where the spooler loads them as SYSTEM: a
// package that anyone beside the administrators can change is refused before anything
// changes. The package's folders and the model's eight files are read (or the first of them
// that gives it away); a file that is not there is left to the installation.
enum class Ends { Refused, Installed, FailsInInstallation };
struct PackageRow {
    const char* name;
    void (*setUp)(sim::SimMachine&);
    bool quiet;
    Ends ends;
    const char* line;  // a line of the log (after "...not safe to install: " when refused)
    std::size_t reads; // of security descriptors
};

constexpr const char* kDriverFolder = "C:\\VEXO\\Printer Driver\\x86";

ObjectSecurity plus(sim::SimSystem& system, AccessEntry entry) {
    ObjectSecurity security = system.defaultSecurity();
    security.entries.push_back(std::move(entry));
    return security;
}

constexpr const char* kNotSafe = "The driver package is not safe to install: ";
constexpr const char* kWhatToDo = "Copy the package to a folder only administrators can write, "
                                  "and run the installer from there.";
constexpr const char* kChecked =
    "Checked the driver package \"C:\\VEXO\": only administrators and this account can change it";

const PackageRow kPackageRows[] = {
    {"EveryoneMayWriteAFile",
     [](sim::SimMachine& m) {
         m.system.setSecurity(
             std::string(kDriverFolder) + "\\uniDRV.DLL",
             plus(m.system, {ace::Allowed, ace::Inherited, rights::FileModify, sids::Everyone}));
     },
     true, Ends::Refused, "Everyone may write \"C:\\VEXO\\Printer Driver\\x86\\uniDRV.DLL\"", 7},
    {"UsersMayAddToTheFolderTheRunUsesAndTheBoxSaysSo",
     [](sim::SimMachine& m) {
         m.system.setSecurity(kDriverFolder, plus(m.system, {ace::Allowed, ace::ContainerInherit,
                                                             rights::DeleteChild, sids::Users}));
     },
     false, Ends::Refused, "BUILTIN\\Users may write \"C:\\VEXO\\Printer Driver\\x86\"", 3},
    {"UsersMayAddToThePrinterDriverFolder",
     [](sim::SimMachine& m) {
         m.system.setSecurity("C:\\VEXO\\Printer Driver",
                              plus(m.system, {ace::Allowed, 0, rights::AppendData, sids::Users}));
     },
     true, Ends::Refused, "BUILTIN\\Users may write \"C:\\VEXO\\Printer Driver\"", 2},
    {"APackageAtADriveRoot",
     [](sim::SimMachine& m) {
         m.system.mapDrive('D', m.host("C:\\VEXO"));
         m.system.setCurrentDirectory("D:\\");
         m.system.setSecurity(
             "D:\\Printer Driver\\x86\\TQ20P.GPD",
             plus(m.system, {ace::Allowed, 0, rights::FileModify, sids::Everyone}));
     },
     true, Ends::Refused, "Everyone may write \"D:\\Printer Driver\\x86\\TQ20P.GPD\"", 5},
    {"ASecurityThatCannotBeReadTellsNothingOfWhoMayWrite",
     [](sim::SimMachine& m) {
         m.faults.fail("GetNamedSecurityInfo", err::AccessDenied, "TQ20P.GPD");
     },
     true, Ends::Refused,
     "who may write \"C:\\VEXO\\Printer Driver\\x86\\TQ20P.GPD\" cannot be told, since its "
     "security cannot be read: Access is denied. (error 5)",
     5},
    {"AForeignOwner",
     [](sim::SimMachine& m) {
         ObjectSecurity s = m.system.defaultSecurity();
         s.owner = "S-1-5-21-1004336348-1177238915-682003330-1107";
         m.system.setSecurity("C:\\VEXO", s);
     },
     true, Ends::Refused,
     "\"C:\\VEXO\" belongs to the account S-1-5-21-1004336348-1177238915-682003330-1107, who "
     "may change it",
     1},
    {"UsersMayDeleteWhatThePackageFolderHolds",
     [](sim::SimMachine& m) {
         m.system.setSecurity("C:\\VEXO",
                              plus(m.system, {ace::Allowed, 0, rights::DeleteChild, sids::Users}));
     },
     true, Ends::Refused, "BUILTIN\\Users may write \"C:\\VEXO\"", 1},
    {"AFilesBitOfDeleteChildLetsNobodyWriteIt",
     [](sim::SimMachine& m) {
         m.system.setSecurity(std::string(kDriverFolder) + "\\uniDRV.DLL",
                              plus(m.system, {ace::Allowed, 0, rights::DeleteChild, sids::Users}));
     },
     true, Ends::Installed, kChecked, 11},
    {"InheritOnlyEntriesPassOnlyToWhatIsCreatedInside",
     [](sim::SimMachine& m) {
         m.system.setSecurity("C:\\VEXO",
                              plus(m.system, {ace::Allowed, ace::InheritOnly | ace::ObjectInherit,
                                              rights::GenericAll, sids::Users}));
     },
     true, Ends::Installed, kChecked, 11},
    {"TheOtherArchitecturesFolderIsNotUsed",
     [](sim::SimMachine& m) {
         m.system.setWow64(true);
         m.system.setSecurity(
             std::string(kDriverFolder) + "\\uniDRV.DLL",
             plus(m.system, {ace::Allowed, 0, rights::FileModify, sids::AuthenticatedUsers}));
     },
     true, Ends::Installed, kChecked, 11},
    {"AMissingFolderIsLeftToTheInstallation",
     [](sim::SimMachine& m) { std::filesystem::remove_all(m.host(kDriverFolder)); }, true,
     Ends::FailsInInstallation,
     "The driver package folder \"C:\\VEXO\\Printer Driver\\x86\" was not found: start the "
     "installer from the driver package",
     11},
    // Started where Windows Installer starts it, the program takes the package beside it,
    // and checks that one.
    {"StartedElsewhereThePackageBesideTheProgramIsChecked",
     [](sim::SimMachine& m) {
         m.system.setCurrentDirectory("C:\\");
         m.system.setSecurity(
             std::string(kDriverFolder) + "\\uniDRV.DLL",
             plus(m.system, {ace::Allowed, ace::Inherited, rights::FileModify, sids::Everyone}));
     },
     true, Ends::Refused, "Everyone may write \"C:\\VEXO\\Printer Driver\\x86\\uniDRV.DLL\"", 7},
    {"StartedElsewhereThePackageBesideTheProgramIsUsed",
     [](sim::SimMachine& m) { m.system.setCurrentDirectory("C:\\"); }, true, Ends::Installed,
     "The current folder \"C:\\\" holds no \"Printer Driver\" folder: the driver package is "
     "taken from the program's folder \"C:\\VEXO\"",
     11},
    {"NotElevatedNothingIsChecked",
     [](sim::SimMachine& m) {
         m.system.setElevated(false);
         m.system.setSecurity("C:\\VEXO", ObjectSecurity{sids::Everyone, false, {}});
     },
     true, Ends::Installed, "Installed: the printer \"K20A\" on the port \"LPT1:\"", 0},
};

void PrintTo(const PackageRow& row, std::ostream* out) {
    *out << row.name;
}

class PackageCheckTest : public UnattendedRunTest,
                         public ::testing::WithParamInterface<PackageRow> {};

TEST_P(PackageCheckTest, AnElevatedRunRefusesAPackageOthersCanChange) {
    const PackageRow& row = GetParam();
    row.setUp(machine);
    std::vector<std::string> args = {"/model", "K20A", "/port", "LPT1:", "/log", kLog};
    if (row.quiet) {
        args.insert(args.begin(), "/quiet");
    }
    EXPECT_EQ(run(args), row.ends == Ends::Installed ? kExitSuccess : kExitInstallFailed);
    const std::string text = log();
    if (row.ends == Ends::Refused) {
        EXPECT_EQ(changedBesidesLogs(), std::vector<std::string>{});
        EXPECT_NE(text.find(kTime + (kNotSafe + std::string(row.line))), std::string::npos) << text;
        EXPECT_NE(text.find(std::string(kWhatToDo) + " Nothing was changed\r\n" + kTime +
                            "Exit code 1603"),
                  std::string::npos)
            << text;
    } else {
        EXPECT_EQ(printerThere("K20A"), row.ends == Ends::Installed);
        EXPECT_EQ(text.find(kChecked) != std::string::npos, row.reads != 0) << text;
        EXPECT_NE(text.find(kTime + std::string(row.line) + "\r\n"), std::string::npos) << text;
    }
    EXPECT_EQ(machine.faults.callsOf("GetNamedSecurityInfo").size(), row.reads);
    if (row.quiet) {
        EXPECT_TRUE(ui.messageBoxes().empty());
    } else {
        const std::string box = lastBoxText();
        EXPECT_EQ(box, kNotSafe + std::string(row.line) +
                           ", and the spooler loads the driver's files with the system's rights. " +
                           kWhatToDo);
    }
}

INSTANTIATE_TEST_SUITE_P(Packages, PackageCheckTest, ::testing::ValuesIn(kPackageRows),
                         [](const auto& row) { return std::string(row.param.name); });

// The lock: another run holding it ends this one with 1618; nothing a standard user could
// have made under its name (in Global\\, where the system has no private namespaces) stops
// the run.
TEST_F(UnattendedRunTest, OnlyAnotherRunHoldingTheLockEndsARunWith1618) {
    using Object = sim::SimSystem::NamedObject;
    const std::string global = "Global\\VexoSetupInstall";
    const std::string inNamespace = "VexoSetupInstall\\VexoSetupInstall";
    const std::string ahead = ", so it is not this installer's; the run goes ahead without it";
    struct Row {
        const char* what;
        bool namespaces;
        std::string name;
        Object object;
        int exitCode;
        std::string line; // the log's line on the lock; empty for none
    };
    for (const Row& r :
         {Row{"held", false, global, Object{.held = true}, kExitAnotherInstall,
              "Another installation is running (it holds \"" + global + "\"); nothing was changed"},
          Row{"held, in the private namespace", true, inNamespace, Object{.held = true},
              kExitAnotherInstall,
              "Another installation is running (it holds \"" + inNamespace +
                  "\"); nothing was changed"},
          Row{"squatted in Global\\ beside the private namespace", true, global,
              Object{.owner = sim::SimSystem::kOtherUserSid, .held = true}, kExitSuccess, ""},
          Row{"not a mutex", false, global, Object{.mutex = false}, kExitSuccess,
              "The lock \"" + global +
                  "\" was not honoured: an object of another kind bears its name" + ahead},
          Row{"a user's", false, global,
              Object{.owner = sim::SimSystem::kOtherUserSid, .held = true}, kExitSuccess,
              "The lock \"" + global + "\" was not honoured: its owner is VEXO-PC\\mallory" +
                  ahead},
          Row{"shutting the run out", false, global, Object{.deniesAccess = true, .held = true},
              kExitSuccess,
              "The lock \"" + global + "\" was not honoured: it shuts this process out" + ahead},
          Row{"abandoned", false, global, Object{.abandoned = true}, kExitSuccess,
              "The previous installation ended without finishing (it left the lock \"" + global +
                  "\" abandoned); this run goes on"}}) {
        SCOPED_TRACE(r.what);
        machine.system.setPrivateNamespaces(r.namespaces);
        machine.system.plantObject(r.name, r.object);
        fs::remove(machine.host(kLog));
        EXPECT_EQ(run({"/quiet", "/model", "K20A", "/port", "LPT1:", "/log", kLog}), r.exitCode);
        if (r.exitCode == kExitAnotherInstall) {
            EXPECT_EQ(changedBesidesLogs(), std::vector<std::string>{});
        }
        if (!r.line.empty()) {
            EXPECT_NE(log().find(kTime + r.line + "\r\n"), std::string::npos) << log();
        } else {
            EXPECT_EQ(log().find("lock"), std::string::npos) << log();
        }
        EXPECT_EQ(machine.system.heldMutexCount(), 0u) << "released at the end of the run";
        machine.system.plantObject(r.name, Object{});
        (void)run({"/quiet", "/uninstall", "/model", "K20A"});
    }
    machine.faults.fail("CreateMutex", 1450 /* ERROR_NO_SYSTEM_RESOURCES */);
    EXPECT_EQ(run({"/quiet", "/model", "K20A", "/port", "LPT1:", "/log", kLog}), kExitSuccess);
    EXPECT_NE(log().find("Take the lock \"" + global + "\": "), std::string::npos) << log();
}

TEST_F(UnattendedRunTest, TheWizardsInstallWaitsForNoOneButSaysAnotherRunIsGoing) {
    machine.system.setMutexHeldElsewhere("Global\\VexoSetupInstall", true);
    bool stillOpen = false;
    install([&](sim::DialogDriver& d) {
        d.click(IDC_PS_INSTALL);
        stillOpen = d.isOpen();
        d.click(IDC_PS_CANCEL);
    });
    EXPECT_TRUE(stillOpen) << "the port page stays open";
    EXPECT_EQ(lastBoxText(), kAnotherInstallText);
    EXPECT_TRUE(machine.spooler.printers().empty());
}

TEST_F(UnattendedRunTest, AFailedStepEndsWith1603AndTheLogNamesIt) {
    fs::remove(machine.host("C:\\VEXO\\Printer Driver\\x86\\UNIRES.DLL"));
    EXPECT_EQ(run({"/quiet", "/model", "K20A", "/port", "LPT1:", "/log", kLog}),
              kExitInstallFailed);
    std::string text = log();
    EXPECT_NE(text.find("Copy \"Printer Driver\\x86\\UNIRES.DLL\" to "
                        "\"C:\\Windows\\system32\\spool\\drivers\\w32x86\\UNIRES.DLL\": The "
                        "system cannot find the file specified. (error 2)"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("Exit code 1603"), std::string::npos) << text;
    EXPECT_TRUE(ui.messageBoxes().empty());
    // Without /quiet a value that cannot be written brings the registry's message, owned by
    // no window as the run has none, before the failure's box.
    machine.writeFile("C:\\VEXO\\Printer Driver\\x86\\UNIRES.DLL", "x86 UNIRES.DLL");
    machine.faults.fail("RegSetValueEx", err::AccessDenied, "Device");
    EXPECT_EQ(run({"/model", "K20A", "/port", "LPT1:", "/log", kLog}), kExitInstallFailed);
    EXPECT_NE(log().find(cat({"Message: ", kRegistryErrorMessage})), std::string::npos) << log();
    ASSERT_EQ(ui.messageBoxes().size(), 2u);
    EXPECT_EQ(ui.messageBoxes()[0].text, kRegistryErrorMessage);
    EXPECT_EQ(ui.messageBoxes()[0].style, mb::Ok | mb::IconExclamation);
    EXPECT_EQ(ui.messageBoxes()[1].style, mb::Ok | mb::IconError);
}

TEST_F(UnattendedRunTest, ProtectedPrintModeAndLocalSystemAreSaidInTheLog) {
    machine.system.setAccount("NT AUTHORITY\\SYSTEM", true);
    EXPECT_EQ(run({"/quiet", "/model", "K20A", "/port", "LPT1:", "/log", kLog}), kExitSuccess);
    EXPECT_NE(log().find("Account: NT AUTHORITY\\SYSTEM (the LocalSystem account)"),
              std::string::npos);
    EXPECT_NE(log().find("The default printer was left as it was: the installer runs as the "
                         "LocalSystem account"),
              std::string::npos)
        << log();

    (void)run({"/quiet", "/uninstall", "/model", "K20A"});
    machine.registry.put(RegRoot::LocalMachine, kProtectedPrintKey, kProtectedPrintValue,
                         RegValue{reg::TypeDword, regDwordData(1)});
    EXPECT_EQ(run({"/quiet", "/model", "K20A", "/port", "LPT1:", "/log", kLog}),
              kExitInstallFailed);
    EXPECT_EQ(changedBesidesLogs(), std::vector<std::string>{});
    EXPECT_NE(log().find("Windows protected print mode is on"), std::string::npos) << log();
}

TEST_F(UnattendedRunTest, RemovalAsksFirstWithoutQuietAndShowsTheOutcome) {
    ASSERT_EQ(run({"/quiet", "/model", "K20A", "/port", "LPT1:"}), kExitSuccess);

    ui.answerMessageBox(IdNo);
    EXPECT_EQ(run({"/uninstall", "/model", "K20A", "/log", kLog}), kExitUserCancelled);
    EXPECT_EQ(changedBesidesLogs(), std::vector<std::string>{});
    ASSERT_EQ(ui.messageBoxes().size(), 1u);
    EXPECT_EQ(ui.messageBoxes()[0].style & mb::TypeMask, mb::YesNo);

    ui.answerMessageBox(IdYes);
    EXPECT_EQ(run({"/uninstall", "/model", "K20A", "/log", kLog}), kExitSuccess);
    EXPECT_FALSE(printerThere("K20A"));
    EXPECT_TRUE(machine.spooler.drivers().empty());
    EXPECT_EQ(lastBoxText(), "The printer \"K20A\" was removed. Its driver was removed.");

    EXPECT_EQ(run({"/quiet", "/uninstall", "/model", "K20A", "/log", kLog}), kExitSuccess);
    EXPECT_NE(log().find("The printer \"K20A\" is not installed: nothing to remove."),
              std::string::npos);
    EXPECT_EQ(ui.messageBoxes().size(), 3u) << "the quiet run showed nothing";

    // In session 0 nobody could answer: without /quiet the run is quiet all the same, and
    // says so.
    ASSERT_EQ(run({"/quiet", "/model", "K20A", "/port", "LPT1:"}), kExitSuccess);
    machine.system.setCanShowWindows(false);
    EXPECT_EQ(run({"/uninstall", "/model", "K20A", "/log", kLog}), kExitSuccess);
    EXPECT_FALSE(printerThere("K20A"));
    EXPECT_EQ(ui.messageBoxes().size(), 3u) << "no question, no outcome box";
    EXPECT_NE(log().find("Nobody can see a window in this session (session 0, or a window "
                         "station that is not visible): the run is quiet, as with /quiet"),
              std::string::npos)
        << log();
    EXPECT_EQ(run({"/?"}), kExitSuccess);
    EXPECT_EQ(run({"/model", "K99", "/log", kLog}), kExitInvalidCommandLine);
    EXPECT_EQ(ui.messageBoxes().size(), 3u) << "neither the usage nor the refusal";
}

// An exception that escapes the run (here from the spooler) ends it as a failure, with a
// log line and the exit code in the log, never through abort.
TEST_F(UnattendedRunTest, AnExceptionEndsTheRunWith1603AndALine) {
    machine.faults.fail("AddPrinter", sim::kThrowException);
    EXPECT_EQ(run({"/quiet", "/model", "K20A", "/port", "LPT1:", "/log", kLog}),
              kExitInstallFailed);
    EXPECT_NE(log().find(cat({kTime,
                              "The run stopped on an unexpected error: an exception "
                              "thrown on purpose\r\n",
                              kTime, "Exit code 1603\r\n"})),
              std::string::npos)
        << log();
    EXPECT_EQ(machine.system.heldMutexCount(), 0u) << "the lock went with the run";
}

TEST_F(UnattendedRunTest, UsageGoesToTheConsoleOrElseIntoABox) {
    machine.system.setParentConsole(true);
    EXPECT_EQ(run({"/?"}), kExitSuccess);
    EXPECT_EQ(machine.faults.subjectsOf("WriteConsole"), std::vector<std::string>{usageText()});
    EXPECT_TRUE(ui.messageBoxes().empty());

    machine.system.setParentConsole(false);
    EXPECT_EQ(run({"/quiet", "/?"}), kExitSuccess);
    EXPECT_TRUE(ui.messageBoxes().empty()) << "quiet shows no box even for the usage";
    EXPECT_EQ(run({"-?"}), kExitSuccess);
    ASSERT_EQ(ui.messageBoxes().size(), 1u);
    EXPECT_EQ(ui.messageBoxes()[0].text, usageText());
}

// The log is never a way to make the installer write elsewhere: a refused log leaves its
// target as it was, the installation goes on, and the fresh log that stands in for it says
// why in its first line.
TEST_F(UnattendedRunTest, ALogThatCouldLeadElsewhereIsRefusedAndAFreshOneSaysWhy) {
    const std::string precious = "C:\\Windows\\system32\\config\\precious.dat";
    machine.writeFile(precious, "precious");
    const fs::path target = machine.host(precious);
    fs::create_symlink(target, machine.host("C:\\VEXO\\linked.log"));
    fs::create_hard_link(target, machine.host("C:\\VEXO\\hard.log"));
    fs::create_directory_symlink(target.parent_path(), machine.host("C:\\ProgramData"));
    machine.writeFile("C:\\VEXO\\theirs.log", "a user's");
    machine.system.setOwner("C:\\VEXO\\theirs.log", sim::SimSystem::kOtherUserSid);
    const std::string fresh = "C:\\Users\\user\\AppData\\Local\\Temp\\VexoSetup-20261208-100000-"
                              "4242-5eedc0de5eedc0de.log";
    struct Row {
        const char* log;
        const char* why;
    };
    for (const Row& r :
         {Row{"C:\\VEXO\\linked.log", "it is a link or another reparse point"},
          Row{"C:\\VEXO\\hard.log", "the file has 2 hard links"},
          Row{"C:\\ProgramData\\precious.dat",
              "the folder \"C:\\ProgramData\" leads to \"C:\\Windows\\system32\\config\" (a "
              "link, junction or mount point on the way)"},
          Row{"\\\\.\\pipe\\vexo", "it names a device or a pipe, not a file on a disk"},
          Row{"\\\\?\\GLOBALROOT\\Device\\NamedPipe\\vexo",
              "it names a device or a pipe, not a file on a disk"},
          Row{"C:\\VEXO\\Nul.log", "it names the device NUL, not a file"},
          Row{"C:\\VEXO\\COM3", "it names the device COM3, not a file"},
          Row{"C:\\VEXO\\setup.log:hidden",
              "a colon in a file name names a stream or a device, not a file"},
          Row{"C:\\VEXO\\theirs.log", "its owner is VEXO-PC\\mallory, not the Administrators, "
                                      "SYSTEM or the account of this run"}}) {
        SCOPED_TRACE(r.log);
        EXPECT_EQ(run({"/quiet", "/model", "K20A", "/port", "LPT1:", "/log", r.log}), kExitSuccess)
            << "a log that cannot be written does not stop the installation";
        EXPECT_EQ(read(precious), "precious");
        EXPECT_EQ(read("C:\\VEXO\\theirs.log"), "a user's");
        const std::string stands = read(fresh);
        EXPECT_EQ(stands.substr(0, stands.find("\r\n")),
                  cat({kTime, "The log \"", r.log,
                       "\" named by /log is not written, so this one is: ", r.why}));
        EXPECT_NE(stands.find("Exit code 0"), std::string::npos) << stands;
        fs::remove(machine.host(fresh));
        (void)run({"/quiet", "/uninstall", "/model", "K20A"});
        fs::remove(machine.host(fresh));
    }
    // Not elevated, the program can do no more than the user who owns the file.
    machine.system.setElevated(false);
    EXPECT_EQ(run({"/quiet", "/model", "K20A", "/port", "LPT1:", "/log", "C:\\VEXO\\theirs.log"}),
              kExitSuccess);
    EXPECT_NE(read("C:\\VEXO\\theirs.log").find("Exit code 0"), std::string::npos);
    // A token that cannot be read counts as elevated.
    machine.system.setElevation(Elevation::Unreadable);
    const std::string before = read("C:\\VEXO\\theirs.log");
    EXPECT_EQ(run({"/quiet", "/model", "K20A", "/port", "LPT1:", "/log", "C:\\VEXO\\theirs.log"}),
              kExitSuccess);
    EXPECT_EQ(read("C:\\VEXO\\theirs.log"), before);
}

TEST_F(UnattendedRunTest, WithoutLogAFreshFileInTempIsCreatedNeverAnExistingOne) {
    const std::string temp = "C:\\Users\\user\\AppData\\Local\\Temp\\";
    // The time, the process and a random part: a name nobody foresees (here the simulated
    // machine's fixed "random" one, as if foreseen).
    const std::string first = temp + "VexoSetup-20261208-100000-4242-5eedc0de5eedc0de.log";
    // Prepared beforehand by someone else: a link with the name the run would take.
    machine.writeFile("C:\\Windows\\win.ini", "[fonts]");
    fs::create_symlink(machine.host("C:\\Windows\\win.ini"), machine.host(first));

    EXPECT_EQ(run({"/quiet", "/model", "K20A", "/port", "LPT1:"}), kExitSuccess);
    EXPECT_EQ(read("C:\\Windows\\win.ini"), "[fonts]");
    std::string fresh = read(temp + "VexoSetup-20261208-100000-4242-5eedc0de5eedc0de-2.log");
    EXPECT_NE(fresh.find("Exit code 0"), std::string::npos) << fresh;
}

TEST_F(UnattendedRunTest, ALogThatFailsToWriteStopsNothing) {
    machine.faults.fail("WriteFile", 112 /* ERROR_DISK_FULL */, "", 3);
    EXPECT_EQ(run({"/quiet", "/model", "K20A", "/port", "LPT1:", "/log", kLog}), kExitSuccess);
    EXPECT_TRUE(printerThere("K20A"));
    EXPECT_EQ(machine.system.openLogCount(), 0u);
    // Neither the log named nor a fresh one can be created: the debugger hears of both.
    machine.faults.clearCalls();
    machine.faults.fail("CreateFile", err::AccessDenied, "", 1, 0);
    EXPECT_EQ(run({"/quiet", "/model", "K20A", "/port", "LPT2:", "/log", kLog}), kExitSuccess);
    const std::string denied = "\" is not written: Access is denied. (error 5)\n";
    EXPECT_EQ(
        machine.system.debugLines(),
        (std::vector<std::string>{cat({"VexoSetup: the log \"", kLog, denied}),
                                  cat({"VexoSetup: the log \"C:\\Users\\user\\AppData\\Local\\"
                                       "Temp\\VexoSetup-20261208-100000-4242-"
                                       "5eedc0de5eedc0de.log",
                                       denied})}));
}

// The wizard's exit codes: left before installing, installed, or an installation that failed.
TEST_F(UnattendedRunTest, TheWizardsExitCodeSaysWhatBecameOfTheInstallation) {
    auto wizard = [&](bool installs) {
        resetInstallerState();
        ui.onDialog(IDD_OS_SELECT, [](sim::DialogDriver& d) { d.click(IDC_OS_INSTALL); });
        ui.onDialog(IDD_PRINTER_SETTINGS, [installs](sim::DialogDriver& d) {
            d.click(installs ? IDC_SET_NEXT : IDC_SET_EXIT);
        });
        if (installs) {
            ui.onDialog(IDD_PORT_SELECT, installOn("LPT1:"));
        }
        InstallerApp app(platform);
        app.initInstance();
        return app.exitCode();
    };
    EXPECT_EQ(wizard(false), kExitUserCancelled);
    EXPECT_EQ(wizard(true), kExitSuccess);
    machine.faults.fail("AddPrinterDriver", err::AccessDenied);
    EXPECT_EQ(wizard(true), kExitInstallFailed);
}

} // namespace
} // namespace vexo::test
