// The third page: how the printer is connected, either by kind of port (chosen during the
// installation) or as one of the machine's ports; it starts the installation.
#pragma once

#include "dialog/Dialog.h"
#include "install/InstallFeedback.h"
#include "ports/PortDiscovery.h"

#include <cstdint>
#include <string>
#include <vector>

namespace vexo {

// The list's rows when it shows kinds of port (its state when the page opens).
inline constexpr int kSerialPortRow = 0;
inline constexpr int kUsbPortRow = 1;
inline constexpr int kTcpIpPortRow = 2;

// The page is the installation's user interface while it runs: its progress bar, the USB
// port question and the registry error box.
class PortSelectPage : public Dialog, public InstallFeedback {
  public:
    explicit PortSelectPage(Platform& platform);

    std::string portName;
    ProgressBar progressBar;
    ListView portList;
    std::vector<std::string> allPorts, usbPorts, serialPorts, lptPorts, tcpipPorts;
    std::string autoPortName;
    std::int32_t selectedRow = -1; // -1 until an Install press finds a selected row

    // The Install command: the whole installation.
    void onInstall();
    // Port discovery for the automatic choice: fills the groups from ports/ and selects
    // the row it prefers.
    void scanPorts();
    bool findSerialPorts(std::vector<std::string>& ports);
    // The USB port retry: binds the printer to each USB port found until it is on line.
    void selectUsbPort();

    void progress(int position) override;
    bool askRetryUsbPort() override;
    void showRegistryError() override;

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
    void deploy(bool wow64);
};

} // namespace vexo
