// Puts the chosen model's driver on the machine and creates the printer: copies the
// package into the spooler's driver directory, registers the driver, adds the printer,
// writes the default-printer and serial-line values, and moves the progress bar from 10
// to 100. Every step runs; whatever fails is recorded in the report.
#pragma once

#include "install/InstallFeedback.h"
#include "install/InstallReport.h"
#include "install/Installation.h"
#include "platform/Platform.h"

#include <string>

namespace vexo {

struct DeploymentVariant {
    const char* environment;  // "Windows NT x86" or "Windows x64"
    const char* sourceFolder; // "Printer Driver\x86\" or "Printer Driver\x64\"
};

inline constexpr DeploymentVariant kX86Deployment{"Windows NT x86", "Printer Driver\\x86\\"};
inline constexpr DeploymentVariant kX64Deployment{"Windows x64", "Printer Driver\\x64\\"};

// The deployment for this machine: the x64 driver under WOW64, the x86 driver otherwise.
// Asks IsWow64Process each time.
const DeploymentVariant& deploymentFor(System& system);

// The registry message for a value that could not be written.
inline constexpr const char* kRegistryErrorMessage = "错误：无法设置有关的注册表信息";

// Runs the deployment of `request`'s model on `portName`, showing its progress and registry
// errors to `user`; the report collects its failures.
void deployDriver(Platform& platform, const DeploymentVariant& variant,
                  const InstallRequest& request, InstallFeedback& user, const std::string& portName,
                  InstallReport& report);

} // namespace vexo
