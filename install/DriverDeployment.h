// Puts the chosen model's driver on the machine and creates the printer: copies the
// package into the spooler's driver directory, registers the driver, adds the printer,
// writes the default-printer and serial-line values, and moves the progress bar from 10
// to 100. Every step runs; whatever fails is recorded in the report.
#pragma once

#include "install/InstallFeedback.h"
#include "install/InstallReport.h"
#include "platform/Platform.h"

#include <optional>
#include <string>

namespace vexo {

struct DeploymentVariant {
    const char* environment;  // "Windows NT x86" or "Windows x64"
    const char* sourceFolder; // "Printer Driver\x86\" or "Printer Driver\x64\"
};

inline constexpr DeploymentVariant kX86Deployment{"Windows NT x86", "Printer Driver\\x86\\"};
inline constexpr DeploymentVariant kX64Deployment{"Windows x64", "Printer Driver\\x64\\"};

// The settings page's port rows 0 to 2 are parallel ports; a row above is a serial (COM)
// port, whose line settings the deployment writes.
inline constexpr int kLastParallelPort = 2;

// The serial line as the settings page's codes give it.
struct SerialLine {
    std::string portCode; // "COM1:" ...
    std::string baud, parity, dataBits, stopBits, flow;
};

// What the deployment reads from the settings page, when it reads it.
class DeploymentInputs {
  public:
    virtual ~DeploymentInputs() = default;
    virtual int portIndex() = 0;  // the settings page's port choice: above 2 is a COM port
    virtual int modelIndex() = 0; // 0 to 7
    // The serial settings, read only for a COM port; nullopt when a list has no selection.
    virtual std::optional<SerialLine> serialLine() = 0;
    virtual bool setDefaultPrinter() = 0;
};

// The registry message for a value that could not be written.
inline constexpr const char* kRegistryErrorMessage = "错误：无法设置有关的注册表信息";

// Runs the deployment on `portName`, showing its progress and registry errors to `user`;
// the report collects its failures.
void deployDriver(Platform& platform, const DeploymentVariant& variant, DeploymentInputs& inputs,
                  InstallFeedback& user, const std::string& portName,
                  const std::string& monitorName, InstallReport& report);

} // namespace vexo
