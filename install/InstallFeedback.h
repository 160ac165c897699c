// What the installation shows its user and asks of them, without knowing any window: the
// port page, which is open while the installation runs, implements it.
#pragma once

namespace vexo {

class InstallFeedback {
  public:
    virtual ~InstallFeedback() = default;
    // Moves the progress bar to `position` (0 to 100).
    virtual void progress(int position) = 0;
    // No USB port brought the printer on line: asks Retry or Cancel; true for Retry.
    virtual bool askRetryUsbPort() = 0;
    // A registry value of the installation could not be written: tells the user at once.
    virtual void showRegistryError() = 0;
};

} // namespace vexo
