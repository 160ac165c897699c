// The application: runs the wizard from the operating-system page to its end and returns
// without a message loop, so the process ends when the last page has closed.
#pragma once

#include "platform/Platform.h"

namespace vexo {

class InstallerApp {
  public:
    explicit InstallerApp(Platform& platform) : platform_(platform) {}

    // Start-up: registers "MyUpdateData" and runs the pages. Returns false: the framework
    // is not to run a message loop.
    bool initInstance();

    // The process's exit code: 0, or 1 when a page of the wizard could not be created.
    [[nodiscard]] int exitCode() const;

  private:
    Platform& platform_;
};

} // namespace vexo
