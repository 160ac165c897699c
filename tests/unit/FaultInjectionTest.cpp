// A typical installation run once for every platform call it makes, with exactly that call
// failing: the installer must neither crash nor hang, write nowhere but where it is meant
// to, and tell the truth about the outcome.
#include "InstallFixture.h"
#include "app/InstallerApp.h"
#include "cli/UnattendedRun.h"

#include <fstream>
#include <iostream>
#include <map>
#include <set>

namespace vexo::test {
namespace {
// A realistic error for each operation.
WinError errorFor(const std::string& op) {
    static const std::map<std::string, WinError> errors = {
        {"CopyFile", err::SharingViolation},
        {"AddPrinterDriver", err::AccessDenied},
        {"AddPrinter", err::AccessDenied},
        {"EnumPorts", err::RpcServerUnavailable},
        {"EnumPrinters", err::RpcServerUnavailable},
        {"EnumMonitors", err::RpcServerUnavailable},
        {"GetPrinterDriverDirectory", err::RpcServerUnavailable},
        {"RegOpenKeyEx", err::AccessDenied},
        {"RegCreateKeyEx", err::AccessDenied},
        {"RegSetValueEx", err::AccessDenied},
        {"RegQueryValueEx", err::FileNotFound},
        {"RegEnumValue", err::MoreData},
        {"ClosePrinter", err::InvalidHandle},
        {"SetFileAttributes", err::AccessDenied},
        {"GetVersionEx", err::InvalidParameter},
        {"IsWow64Process", err::AccessDenied},
        {"DeletePrinter", err::AccessDenied},
        {"DeletePrinterDriverEx", err::AccessDenied},
        {"GetPrinter", err::RpcServerUnavailable},
        {"SetPrinter", err::AccessDenied},
        {"EnumPrinterDrivers", err::RpcServerUnavailable},
        {"CreateMutex", err::AccessDenied},
        {"CreateFile", err::AccessDenied},
        {"WriteFile", 112}}; // ERROR_DISK_FULL
    auto it = errors.find(op);
    return it == errors.end() ? err::AccessDenied : it->second;
}

struct Outcome {
    bool completed = false; // "Completed!" shown
    bool failureBox = false;
    std::string lastBox;
    std::vector<std::string> problems;
    // The lines of the machine's state that a quiet run took away ("- ") or added ("+ "),
    // its logs aside.
    std::vector<std::string> changed;
};

// The installations the sweep runs: the typical one (the USB port row as the page opens, on
// 32-bit Windows), a manual one on COM1: with its line settings, on 64-bit Windows,
// without making the printer the default, and (command line only) a printer on the network,
// whose port the Standard TCP/IP monitor creates.
enum class Road { UsbAutomatic, ManualCom1X64, Network };

class Installation {
  public:
    explicit Installation(Road road)
        : manual_(road == Road::ManualCom1X64), x64_(road == Road::ManualCom1X64),
          port_(manual_                 ? "COM1:"
                : road == Road::Network ? "IP_10.0.0.20"
                                        : "USB001") {
        if (road == Road::Network) {
            m.spooler.monitors().push_back(MonitorInfo1{kTcpMonitor});
        }
        resetInstallerState();
        for (const char* arch : {"x86", "x64"}) {
            for (const std::string& f : kPackageFiles) {
                m.writeFile(std::string("C:\\VEXO\\Printer Driver\\") + arch + "\\" + f,
                            std::string(arch) + " " + f);
            }
        }
        m.registry.putText(RegRoot::LocalMachine, "HARDWARE\\DEVICEMAP\\SERIALCOMM",
                           "\\Device\\Serial0", "COM1");
        m.spooler.addLocalPort("USB001", "Virtual printer port for USB");
        m.system.setVersion({6, 2, 9200, PlatformNt});
        m.system.setWow64(manual_);
        bool manual = manual_;
        m.ui.onDialog(IDD_OS_SELECT, [](sim::DialogDriver& d) { d.click(IDC_OS_INSTALL); });
        m.ui.onDialog(IDD_PRINTER_SETTINGS, [manual](sim::DialogDriver& d) {
            if (manual) {
                d.selectComboItem(IDC_SET_PORT, 3, sim::DialogDriver::EvenIfHidden);
                d.click(IDC_SET_DEFAULT_PRINTER);
            }
            d.click(IDC_SET_NEXT);
            if (d.isOpen()) {
                d.click(IDC_SET_EXIT);
            }
        });
        m.ui.onDialog(IDD_PORT_SELECT, [manual](sim::DialogDriver& d) {
            if (manual) {
                d.click(IDC_PS_SEARCH_PORT);
                if (d.rowCount(IDC_PS_PORT_LIST) > 0) {
                    d.selectRow(IDC_PS_PORT_LIST, 0); // COM1:
                }
            }
            d.click(IDC_PS_INSTALL);
            if (d.isOpen()) {
                d.click(IDC_PS_CANCEL);
            }
        });
        m.ui.answerEveryMessageBox([](const sim::MessageBoxRecord& b) {
            return static_cast<int>((b.style & mb::TypeMask) == mb::RetryCancel ? IdCancel : IdOk);
        });
    }
    ~Installation() { resetInstallerState(); }

    // A failing IsWow64Process counts as 32-bit Windows: the x86 driver is the right result.
    void expect32Bit() { x64_ = false; }

    Outcome run() {
        std::vector<std::string> before = m.state();
        InstallerApp app(m.platform);
        app.initInstance();
        Outcome o;
        for (const auto& e : m.ui.errors()) {
            o.problems.push_back("user script: " + e);
        }
        for (const auto& b : m.ui.messageBoxes()) {
            o.completed = o.completed || b.text.rfind("Completed!", 0) == 0;
            o.failureBox = o.failureBox || b.text.find("did not complete") != std::string::npos;
        }
        o.lastBox = m.ui.messageBoxes().empty() ? "" : m.ui.messageBoxes().back().text;
        // Files: nothing new or changed outside the driver directory.
        const std::string driverDir = x64_ ? "<drivers>\\x64\\" : "<drivers>\\w32x86\\";
        std::set<std::string> was(before.begin(), before.end());
        for (const std::string& line : m.state()) {
            bool file = line.rfind("C:\\", 0) == 0 || line.rfind("<drivers>\\", 0) == 0;
            if (file && was.count(line) == 0 && line.rfind(driverDir, 0) != 0) {
                o.problems.push_back("wrote " + line);
            }
        }
        // Registry: only the values the installation is meant to write.
        static const std::set<std::string> allowed = {
            "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows:Device",
            "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Ports:COM1:",
            "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Print\\"
            "Printers\\K20A:Port",
            "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Print\\"
            "Printers\\K20A\\DsSpooler:portName",
            "HKEY_LOCAL_MACHINE\\SYSTEM\\ControlSet001\\Control\\Print\\Printers\\K20A:Port",
            "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\K20A:Port",
            "HKEY_CURRENT_CONFIG\\SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\K20A:"
            "PrinterOnLine"};
        for (const auto& w : m.registry.writes()) {
            if (allowed.count(w.key + ":" + w.name) == 0) {
                o.problems.push_back("registry write " + w.key + ":" + w.name);
            }
        }
        if (m.registry.openKeyCount() != 0) {
            o.problems.push_back("registry keys left open");
        }
        // (A close that itself failed leaves the handle to the spooler.)
        bool closeFailed = false;
        for (const auto& c : m.faults.callsOf("ClosePrinter")) {
            closeFailed = closeFailed || c.result != err::Success;
        }
        if (m.spooler.openPrinterCount() != 0 && !closeFailed) {
            o.problems.push_back("printer handle left open");
        }
        return o;
    }

    // The command line's run, quiet: the exit code, the log, and whatever the run did that it
    // must not (a window, a key left open, a file written elsewhere than the driver directory
    // and its log).
    Outcome runQuiet(const std::vector<std::string>& args, int& exitCode, std::string& log) {
        std::vector<std::string> before = m.state();
        exitCode = runUnattended(m.platform, parseCommandLine(args), "VexoSetup.exe");
        Outcome o;
        if (!m.ui.messageBoxes().empty() || !m.ui.openedDialogs().empty()) {
            o.problems.push_back("a quiet run showed a window");
        }
        std::set<std::string> was(before.begin(), before.end());
        // The log, or the fresh one that stands in for it when it cannot be opened.
        auto aLog = [&](const std::string& line) {
            return line.rfind(kSweepLog, 0) == 0 ||
                   line.rfind(m.system.tempFolder() + "\\VexoSetup-", 0) == 0;
        };
        const std::vector<std::string> after = m.state();
        for (const std::string& line : after) {
            bool file = line.rfind("C:\\", 0) == 0;
            if (file && was.count(line) == 0 && !aLog(line)) {
                o.problems.push_back("wrote " + line);
            }
            if (was.count(line) == 0 && !aLog(line)) {
                o.changed.push_back("+ " + line);
            }
        }
        std::set<std::string> is(after.begin(), after.end());
        for (const std::string& line : before) {
            if (is.count(line) == 0 && !aLog(line)) {
                o.changed.push_back("- " + line);
            }
        }
        if (m.registry.openKeyCount() != 0) {
            o.problems.push_back("registry keys left open");
        }
        if (m.system.heldMutexCount() != 0 || m.system.openLogCount() != 0) {
            o.problems.push_back("the mutex or the log left open");
        }
        std::ifstream in(m.host(kSweepLog), std::ios::binary);
        log.assign(std::istreambuf_iterator<char>(in), {});
        return o;
    }
    static constexpr const char* kSweepLog = "C:\\VEXO\\sweep.log";

    // Whether the machine holds the whole installation.
    bool installed() const {
        const std::string dir = std::string(x64_ ? kX64Dir : kX86Dir) + "\\";
        const std::string arch = x64_ ? "x64 " : "x86 ";
        for (const char* f : {"TQ20Ev1.DLL", "TQ20P.GPD", "uniDRVui.DLL", "uniDRV.DLL",
                              "UNIDRV.HLP", "UNIRES.DLL", "TTFSUB.GPD", "STDNAMES.GPD"}) {
            std::ifstream in(m.host(dir + f), std::ios::binary);
            std::string content(std::istreambuf_iterator<char>(in), {});
            if (content != arch + f) {
                return false;
            }
        }
        const auto& printers = m.spooler.printers();
        bool printer = !printers.empty() && printers[0].info.portName == port_;
        bool driver =
            m.spooler.drivers().size() == 1 &&
            m.spooler.drivers()[0].environment == (x64_ ? "Windows x64" : "Windows NT x86");
        auto device =
            m.registry.get(RegRoot::CurrentUser,
                           "Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows", "Device");
        auto line =
            m.registry.get(RegRoot::LocalMachine,
                           "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Ports", "COM1:");
        bool values = manual_ ? !device && line && line->data == regSzData("19200,N,8,1,p")
                              : device && device->data == regSzData("K20A,winspool," + port_);
        return printer && driver && values;
    }

    sim::SimMachine m;

  private:
    bool manual_;
    bool x64_;
    std::string port_;
};

class FaultInjection : public ::testing::TestWithParam<Road> {};

TEST_P(FaultInjection, EveryFailingCallIsSurvivedAndReportedTruthfully) {
    std::vector<sim::CallRecord> calls;
    {
        Installation clean(GetParam());
        Outcome o = clean.run();
        ASSERT_TRUE(o.problems.empty()) << o.problems.front();
        ASSERT_TRUE(clean.installed());
        ASSERT_TRUE(o.completed);
        calls = clean.m.faults.calls();
    }
    ASSERT_GT(calls.size(), 20u);
    std::map<std::string, int> seen;
    int injected = 0, held = 0;
    for (const sim::CallRecord& call : calls) {
        int nth = ++seen[call.operation];
        Installation t(GetParam());
        WinError error = errorFor(call.operation);
        t.m.faults.fail(call.operation, error, "", nth);
        if (call.operation == "IsWow64Process") {
            t.expect32Bit();
        }
        Outcome o = t.run();
        std::string what = call.operation + " #" + std::to_string(nth) + " (" + call.subject +
                           ") failing with " + std::to_string(error);
        if (t.m.faults.injected() == 0) {
            continue; // the run took another road before reaching that call
        }
        ++injected;
        // A simulated call that swallowed its failure would prove nothing about the installer.
        bool bit = t.m.faults.delivered() == t.m.faults.injected();
        bool installed = t.installed();
        bool truthful = o.completed == installed && o.failureBox == !installed;
        EXPECT_TRUE(bit) << what << ": the simulated call was made to fail but did not return "
                         << "the failure to the installer";
        EXPECT_TRUE(o.problems.empty()) << what << ": " << o.problems.front();
        EXPECT_TRUE(truthful) << what << ": installed " << installed << ", completed "
                              << o.completed << ", last box: " << o.lastBox;
        if (bit && o.problems.empty() && truthful) {
            ++held;
        }
    }
    std::cout << "fault injection ("
              << (GetParam() == Road::UsbAutomatic ? "USB, automatic" : "COM1:, manual, x64")
              << "): " << injected << " faults injected, " << held << " held\n";
    EXPECT_EQ(held, injected);
}

// The unattended runs, once for every call they make with that call failing: a failure that
// bites ends in a non-zero exit code and a log line naming the step, never in 0.
struct QuietRoad {
    const char* name;
    Road setUp;
    bool removal;
    std::vector<std::string> args;
    std::vector<std::string> first = {}; // a quiet run made before, without faults
};

class QuietFaultInjection : public ::testing::TestWithParam<QuietRoad> {};

TEST_P(QuietFaultInjection, EveryBitingFailureEndsNonZeroWithTheStepInTheLog) {
    const QuietRoad& road = GetParam();
    std::vector<std::string> args = road.args;
    args.insert(args.end(), {"/quiet", "/log", Installation::kSweepLog});
    // The outcome the run is after: the whole installation, or nothing left of it.
    auto reached = [&](const Installation& t) {
        return road.removal ? t.m.spooler.printers().empty() && t.m.spooler.drivers().empty()
                            : t.installed();
    };
    auto prepare = [&](Installation& t) {
        if (!road.first.empty()) {
            std::vector<std::string> first = road.first;
            first.insert(first.end(), {"/quiet", "/log", Installation::kSweepLog});
            int code = 0;
            std::string log;
            ASSERT_TRUE(t.runQuiet(first, code, log).problems.empty());
            ASSERT_EQ(code, 0) << log;
            std::filesystem::remove(t.m.host(Installation::kSweepLog));
            t.m.faults.clearCalls();
        }
    };
    std::vector<sim::CallRecord> calls;
    {
        Installation clean(road.setUp);
        prepare(clean);
        int code = -1;
        std::string log;
        Outcome o = clean.runQuiet(args, code, log);
        ASSERT_TRUE(o.problems.empty()) << o.problems.front();
        ASSERT_EQ(code, 0) << log;
        ASSERT_TRUE(reached(clean)) << log;
        calls = clean.m.faults.calls();
    }
    const auto wow64Questions = std::count_if(
        calls.begin(), calls.end(), [](const auto& c) { return c.operation == "IsWow64Process"; });
    std::map<std::string, int> seen;
    int injected = 0, held = 0;
    for (const sim::CallRecord& call : calls) {
        int nth = ++seen[call.operation];
        Installation t(road.setUp);
        prepare(t);
        WinError error = errorFor(call.operation);
        t.m.faults.fail(call.operation, error, "", nth);
        // The installation's own question (the last; the log's header asks first): failing,
        // it counts as 32-bit Windows.
        if (call.operation == "IsWow64Process" && nth == wow64Questions) {
            t.expect32Bit();
        }
        int code = -1;
        std::string log;
        Outcome o = t.runQuiet(args, code, log);
        if (t.m.faults.injected() == 0) {
            continue;
        }
        ++injected;
        std::string what = call.operation + " #" + std::to_string(nth) + " (" + call.subject +
                           ") failing with " + std::to_string(error);
        const bool ok = reached(t);
        const bool logOp = call.operation == "CreateFile" || call.operation == "WriteFile";
        // Over an earlier installation a failed step may leave that one's result in place:
        // 1603 is then no lie, but 0 must still mean the outcome was reached.
        const bool over = !road.removal && !road.first.empty();
        bool truthful = over ? code != 0 || ok : (code == 0) == ok;
        bool named =
            code == 0 || log.find("(error " + std::to_string(error) + ")") != std::string::npos;
        EXPECT_TRUE(o.problems.empty()) << what << ": " << o.problems.front();
        EXPECT_TRUE(truthful) << what << ": exit code " << code << ", outcome reached " << ok
                              << "\n"
                              << log;
        EXPECT_TRUE(named) << what << ": the log does not name the failed step\n" << log;
        EXPECT_TRUE(!logOp || code == 0) << what << ": a log failure stopped the run";
        // A failed installation leaves the machine as it found it.
        const bool undone = road.removal || code == 0 || o.changed.empty();
        EXPECT_TRUE(undone) << what << ": exit code " << code << ", the machine differs by "
                            << o.changed.size() << " lines, first " << o.changed.front() << "\n"
                            << log;
        if (o.problems.empty() && truthful && named && undone) {
            ++held;
        }
    }
    std::cout << "fault injection (" << road.name << "): " << injected << " faults injected, "
              << held << " held\n";
    EXPECT_EQ(held, injected);
}

INSTANTIATE_TEST_SUITE_P(
    Runs, QuietFaultInjection,
    ::testing::Values(
        QuietRoad{"QuietUsbAutomatic", Road::UsbAutomatic, false, {"/model", "K20A"}},
        QuietRoad{"QuietCom1X64",
                  Road::ManualCom1X64,
                  false,
                  {"/model", "K20A", "/port", "COM1", "/serial", "19200,N,8,1,p", "/nodefault"}},
        QuietRoad{"QuietRemoval",
                  Road::UsbAutomatic,
                  true,
                  {"/uninstall", "/model", "K20A"},
                  {"/model", "K20A", "/port", "USB001"}},
        QuietRoad{"QuietNetwork", Road::Network, false, {"/model", "K20A", "/ip", "10.0.0.20"}},
        // Printing defaults for every user, on a printer there already.
        QuietRoad{"QuietDefaultsOverAPrinter",
                  Road::UsbAutomatic,
                  false,
                  {"/model", "K20A", "/port", "USB001", "/paper", "A4", "/duplex", "long",
                   "/orientation", "landscape", "/color", "color"},
                  {"/model", "K20A", "/port", "USB001"}},
        // The printer there already, on another port: it is read back and set.
        QuietRoad{"QuietExistingPrinter",
                  Road::UsbAutomatic,
                  false,
                  {"/model", "K20A", "/port", "USB001"},
                  {"/model", "K20A", "/port", "LPT1:"}}),
    [](const ::testing::TestParamInfo<QuietRoad>& param) { return std::string(param.param.name); });

INSTANTIATE_TEST_SUITE_P(Roads, FaultInjection,
                         ::testing::Values(Road::UsbAutomatic, Road::ManualCom1X64),
                         [](const ::testing::TestParamInfo<Road>& param) {
                             return std::string(param.param == Road::UsbAutomatic
                                                    ? "UsbAutomatic"
                                                    : "ManualCom1X64");
                         });

} // namespace
} // namespace vexo::test
