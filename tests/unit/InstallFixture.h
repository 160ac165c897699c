// An installation on the simulated machine: a driver package in the current directory,
// the settings page open with a port page on top, each scripted by the test.
#pragma once

#include "Fixture.h"
#include "install/Installation.h"
#include "install/ModelTables.h"
#include "install/Outcome.h"
#include "install/Removal.h"
#include "pages/PortSelectPage.h"
#include "pages/PrinterSettingsPage.h"
#include "resources/ResourceIds.h"

#include <deque>
#include <functional>
#include <set>

namespace vexo::test {

inline const std::vector<std::string> kPackageFiles = {
    "TQ20Ev1.DLL", "TQ30Ev1.DLL", "TQ3XEv1.DLL", "TQ20P.GPD",  "TQ20PW.GPD",
    "TQ30P.GPD",   "M41.GPD",     "M42.GPD",     "M43.GPD",    "uniDRVui.DLL",
    "uniDRV.DLL",  "UNIDRV.HLP",  "UNIRES.DLL",  "TTFSUB.GPD", "STDNAMES.GPD"};

inline constexpr const char* kX86Dir = "C:\\Windows\\system32\\spool\\drivers\\w32x86";
inline constexpr const char* kX64Dir = "C:\\Windows\\system32\\spool\\drivers\\x64";

// The files and the driver record of K20A on 32-bit Windows.
inline const std::string kK20aDriverX86 = R"--(+ <drivers>\w32x86\STDNAMES.GPD "x86 STDNAMES.GPD"
+ <drivers>\w32x86\TQ20Ev1.DLL "x86 TQ20Ev1.DLL"
+ <drivers>\w32x86\TQ20P.GPD "x86 TQ20P.GPD"
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
)--";
// Search Port, pick the row of `port`, Install: the manual path on a machine port.
inline std::function<void(sim::DialogDriver&)> installOn(const std::string& port) {
    return [port](sim::DialogDriver& d) {
        d.click(IDC_PS_SEARCH_PORT);
        auto names = d.column(IDC_PS_PORT_LIST, 0);
        auto it = std::find(names.begin(), names.end(), port);
        ASSERT_NE(it, names.end()) << port;
        d.selectRow(IDC_PS_PORT_LIST, static_cast<int>(it - names.begin()));
        d.click(IDC_PS_INSTALL);
    };
}

// The feedback of an installation called without the wizard: it keeps what it was shown,
// answers the USB port question from `retryAnswers` (Cancel when none is left).
class RecordingFeedback final : public InstallFeedback {
  public:
    // Progress goes into the machine's call log, where the journal shows it as the
    // wizard's progress bar would.
    explicit RecordingFeedback(sim::Faults& log) : log_(log) {}
    void progress(int position) override { log_.log("progress", std::to_string(position)); }
    bool askRetryUsbPort() override {
        ++retryQuestions;
        bool retry = !retryAnswers.empty() && retryAnswers.front();
        if (!retryAnswers.empty()) {
            retryAnswers.pop_front();
        }
        return retry;
    }
    void showRegistryError() override { ++registryErrors; }
    void showDiscovery(const PortGroups& groups) override { discovered = groups; }
    void note(const std::string& line) override { notes.push_back(line); }

    std::deque<bool> retryAnswers;
    std::vector<std::string> notes; // the lines a log gets
    int retryQuestions = 0;
    int registryErrors = 0;
    std::optional<PortGroups> discovered;

  private:
    sim::Faults& log_;
};

class InstallTest : public MachineTest {
  protected:
    InstallTest() {
        state.osType = os_type::Windows7; // as the first page detects it
        for (const char* arch : {"x86", "x64"}) {
            for (const std::string& f : kPackageFiles) {
                machine.writeFile(std::string("C:\\VEXO\\Printer Driver\\") + arch + "\\" + f,
                                  std::string(arch) + " " + f);
            }
        }
    }
    using Script = std::function<void(sim::DialogDriver&)>;

    // Opens the settings page, lets `settings` prepare it, presses "&Next >" and hands the
    // port page to `port`. Returns what the settings page ended with.
    std::intptr_t install(const Script& port, const Script& settings = nullptr) {
        ui.onDialog(IDD_PRINTER_SETTINGS, [&](sim::DialogDriver& d) {
            if (settings) {
                settings(d);
            }
            d.click(IDC_SET_NEXT);
            if (d.isOpen()) {
                d.click(IDC_SET_BACK); // the port page was cancelled
            }
        });
        ui.onDialog(IDD_PORT_SELECT, port);
        before_ = machine.state();
        journalFrom_ = machine.faults.calls().size();
        PrinterSettingsPage page(platform);
        return page.doModal();
    }
    // The installation called directly, as a front end without pages calls it.
    InstallReport installCall(const InstallRequest& request) {
        before_ = machine.state();
        journalFrom_ = machine.faults.calls().size();
        return vexo::install(platform, request, feedback);
    }
    // The removal called directly, as the command line calls it.
    RemovalReport removalCall(const InstallRequest& request) {
        before_ = machine.state();
        journalFrom_ = machine.faults.calls().size();
        return vexo::uninstall(platform, request, feedback);
    }
    // The text of the last message box the user saw.
    std::string lastBoxText() const {
        return ui.messageBoxes().empty() ? "" : ui.messageBoxes().back().text;
    }
    // The installation reported no failure ("Completed!", with or without a note).
    bool completed() const { return lastBoxText().rfind("Completed!", 0) == 0; }
    // Install pressed on a page as it opens (USB port row, automatic choice).
    std::intptr_t installAutomatic(const Script& settings = nullptr) {
        return install([](sim::DialogDriver& d) { d.click(IDC_PS_INSTALL); }, settings);
    }
    std::vector<int> progress() const {
        return ui.progressHistory(IDD_PORT_SELECT, IDC_PS_PROGRESS);
    }
    std::optional<std::string> text(RegRoot root, const std::string& key,
                                    const std::string& name) const {
        auto v = machine.registry.get(root, key, name);
        if (!v) {
            return std::nullopt;
        }
        return std::string(v->data.begin(), v->data.end());
    }
    void answerUsbRetry(int answer) { ui.answerMessageBox(answer); }

    // What the last install() did: the lines of the machine's state that it took away
    // ("- ") and added ("+ "), then the journal of what the user saw, one line each.
    std::string changes() const {
        std::vector<std::string> after = machine.state();
        std::multiset<std::string> was(before_.begin(), before_.end()),
            is(after.begin(), after.end());
        std::string out;
        for (const std::string& line : before_) {
            if (auto it = is.find(line); it != is.end()) {
                is.erase(it);
            } else if (line.back() == '\\' && keyFilled(after, line)) {
                continue; // an empty key that holds something now: its contents are listed
            } else {
                out += "- " + line + "\n";
            }
        }
        for (const std::string& line : after) {
            if (auto it = was.find(line); it != was.end()) {
                was.erase(it);
            } else {
                out += "+ " + line + "\n";
            }
        }
        for (const std::string& line :
             machine.journal(std::min(journalFrom_, machine.faults.calls().size()))) {
            out += "  " + line + "\n";
        }
        return out;
    }

    RecordingFeedback feedback{machine.faults};

  private:
    static bool keyFilled(const std::vector<std::string>& state, const std::string& key) {
        std::string path = key.substr(0, key.size() - 1);
        return std::any_of(state.begin(), state.end(), [&](const std::string& line) {
            return line.rfind(path, 0) == 0 && line.size() > path.size() &&
                   (line[path.size()] == ':' || line[path.size()] == '\\');
        });
    }
    std::vector<std::string> before_;
    std::size_t journalFrom_ = 0;
};

// A printer of the model's name there already, on `port` and `driver`.
inline std::function<void(sim::SimMachine&)> existing(const std::string& port,
                                                      const std::string& driver = "K20A") {
    return [port, driver](sim::SimMachine& m) {
        PrinterInfo2 p;
        p.printerName = "K20A";
        p.portName = port;
        p.driverName = driver;
        p.printProcessor = "WinPrint";
        p.datatype = "RAW";
        m.spooler.putPrinter(p);
    };
}

} // namespace vexo::test
