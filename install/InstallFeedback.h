// What the installation shows its user and asks of them, without knowing any window. The
// wizard's port page is one implementation, an unattended run another.
#pragma once

#include "ports/PortDiscovery.h"

#include <string>

namespace vexo {

struct Change;

class InstallFeedback {
  public:
    virtual ~InstallFeedback() = default;
    // Moves the progress bar to `position` (0 to 100).
    virtual void progress(int position) = 0;
    // No USB port brought the printer on line: asks Retry or Cancel; true for Retry.
    virtual bool askRetryUsbPort() = 0;
    // A registry value of the installation could not be written: tells the user at once.
    virtual void showRegistryError() = 0;
    // Port discovery's answer for the automatic choice, to show (the port page selects the
    // preferred row). The port group the printer goes on is decided below, by automaticRow.
    virtual void showDiscovery(const PortGroups& groups) = 0;
    // One step of the run and its outcome, for a log ("Register the printer driver "K20A":
    // done"). The wizard shows no such lines.
    virtual void note(const std::string& line) { (void)line; }
    // A change the run has just made to the machine, as its record keeps it.
    virtual void recorded(const Change& change) { (void)change; }
};

} // namespace vexo
