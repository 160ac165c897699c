// Puts the chosen model's driver on the machine and creates the printer: copies the
// package into the spooler's driver directory, registers the driver, adds the printer, sets
// the printing defaults asked, writes the default-printer and serial-line values, and moves
// the progress bar from 10 to 100. Every step runs; whatever fails is recorded in the report.
#pragma once

#include "install/Architecture.h"
#include "install/InstallFeedback.h"
#include "install/InstallReport.h"
#include "install/Installation.h"
#include "platform/Platform.h"

#include <string>

namespace vexo {

// The deployment for this machine's native architecture (see Architecture.h); asks the
// system each time.
const DeploymentVariant& deploymentFor(System& system);

// Where the default printer ("Device", under HKEY_CURRENT_USER) and a COM port's line settings
// (the port's name, under HKEY_LOCAL_MACHINE) are written.
inline constexpr const char* kWindowsKey =
    "Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows";
inline constexpr const char* kPortsKey = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Ports";
inline constexpr const char* kDefaultPrinterValue = "Device";

// The registry message for a value that could not be written.
inline constexpr const char* kRegistryErrorMessage = "错误：无法设置有关的注册表信息";

// Runs the deployment of `request`'s model on `portName`, showing its progress and registry
// errors to `user`; the report collects its failures and its changes. `before` is the printer
// of the request's name as it was before the run, when the run looked it up and found it: it
// is then settled, not added.
void deployDriver(Platform& platform, const DeploymentVariant& variant,
                  const InstallRequest& request, InstallFeedback& user, const std::string& portName,
                  InstallReport& report, const PrinterInfo2* before = nullptr);

} // namespace vexo
