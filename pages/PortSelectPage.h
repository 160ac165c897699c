// The third page: how the printer is connected, either by kind of port (chosen during the
// installation) or as one of the machine's ports; it starts the installation.
#pragma once

#include "platform/Dialog.h"

#include <cstdint>
#include <string>
#include <vector>

namespace vexo {

class PortSelectPage : public Dialog {
  public:
    explicit PortSelectPage(Platform& platform);

    std::string portName;
    ProgressBar progressBar;
    ListView portList;
    std::vector<std::string> allPorts, usbPorts, serialPorts, lptPorts, tcpipPorts;
    std::string autoPortName;
    std::int32_t selectedRow = -1;

  protected:
    bool onInitDialog() override;

  private:
    void onBack();
};

} // namespace vexo
