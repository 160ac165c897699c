// The third page: how the printer is connected, either by kind of port (chosen during the
// installation) or as one of the machine's ports; it runs the installation and shows its
// progress.
#pragma once

#include "dialog/Dialog.h"
#include "install/Installation.h"
#include "ports/PortDiscovery.h"

#include <cstdint>
#include <string>
#include <vector>

namespace vexo {

// The page is the installation's feedback while it runs: its progress bar, its list for
// discovery's answer, the USB port question and the registry error box.
class PortSelectPage : public Dialog, public InstallFeedback {
  public:
    // `settings` is what the settings page chose: the model, the default-printer flag and
    // the serial line. The page adds the port.
    PortSelectPage(Platform& platform, InstallRequest settings);

    std::string portName;
    ProgressBar progressBar;
    ListView portList;
    std::vector<std::string> allPorts, usbPorts, serialPorts, lptPorts, tcpipPorts;
    std::string autoPortName;
    std::int32_t selectedRow = -1; // -1 until an Install press finds a selected row

    // What the installation reported; `ran` is false until Install has run it.
    [[nodiscard]] const InstallReport& report() const { return report_; }

    // The Install command: the port choice, then the installation.
    void onInstall();
    // Port discovery on this page: shows the groups and selects the row it prefers.
    void scanPorts();

    void progress(int position) override;
    bool askRetryUsbPort() override;
    void showRegistryError() override;
    void showDiscovery(const PortGroups& groups) override;

  protected:
    bool onInitDialog() override;

  private:
    // Rows of the ports whose names begin with "LPT1", "COM1" and "FILE" (0: no match).
    struct RememberedRows {
        int lpt1 = 0, com1 = 0, file = 0;
    };
    void listMachinePorts(RememberedRows* remember);
    void onCreatePort();
    void onSearchPort();
    void onConfigurePort();
    void onBack();

    InstallRequest settings_;
    InstallReport report_;
};

} // namespace vexo
