// An installation on the simulated machine: a driver package in the current directory,
// the settings page open with a port page on top, each scripted by the test.
#pragma once

#include "Fixture.h"
#include "install/ModelTables.h"
#include "pages/PortSelectPage.h"
#include "pages/PrinterSettingsPage.h"
#include "resources/ResourceIds.h"

namespace vexo::test {

inline const std::vector<std::string> kPackageFiles = {
    "TQ20Ev1.DLL", "TQ30Ev1.DLL", "TQ3XEv1.DLL", "TQ20P.GPD",  "TQ20PW.GPD",
    "TQ30P.GPD",   "M41.GPD",     "M42.GPD",     "M43.GPD",    "uniDRVui.DLL",
    "uniDRV.DLL",  "UNIDRV.HLP",  "UNIRES.DLL",  "TTFSUB.GPD", "STDNAMES.GPD"};

inline constexpr const char* kX86Dir = "C:\\Windows\\system32\\spool\\drivers\\w32x86";
inline constexpr const char* kX64Dir = "C:\\Windows\\system32\\spool\\drivers\\x64";

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

class InstallTest : public MachineTest {
  protected:
    InstallTest() {
        state.osType = 8; // as the first page detects Windows 7
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
        PrinterSettingsPage page(platform);
        std::intptr_t r = page.doModal();
        report = page.installReport;
        return r;
    }
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

    InstallReport report;
};

} // namespace vexo::test
