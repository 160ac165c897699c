// The machine's architecture, decided once: for each native machine, the spooler environment
// the driver is registered for, the package folder it comes from and the USB driver
// installer of the first page. Every part of the program that depends on the architecture
// reads this table.
#pragma once

#include "platform/System.h"

#include <string>

namespace vexo {

struct DeploymentVariant {
    const char* environment;  // "Windows NT x86", "Windows x64" or "Windows ARM64"
    const char* sourceFolder; // "Printer Driver\x86\", "Printer Driver\x64\" or "...\ARM64\"
};

struct ArchitectureRow {
    Machine native;
    DeploymentVariant deployment;
    const char* usbInstaller; // the package's USB driver installer; nullptr: none
};

inline constexpr ArchitectureRow kArchitectures[] = {
    {Machine::X86, {"Windows NT x86", "Printer Driver\\x86\\"}, "USB Driver\\x86\\dpinstx86.exe"},
    {Machine::X64, {"Windows x64", "Printer Driver\\x64\\"}, "USB Driver\\x64\\dpinstx64.exe"},
    // The spooler of Windows on ARM loads only ARM64 drivers, whatever emulates this program.
    {Machine::Arm64, {"Windows ARM64", "Printer Driver\\ARM64\\"}, nullptr},
};

// The row of the native machine; a machine that cannot be told is taken for x86.
[[nodiscard]] const ArchitectureRow& architectureOf(const Architectures& architectures);
[[nodiscard]] const ArchitectureRow& architectureOf(System& system);

// The architecture for the log: ", 32-bit", ", 64-bit (this program runs under WoW64)",
// ", Windows on ARM (64-bit): this program, the x86 build, runs under emulation".
[[nodiscard]] std::string architectureText(const Architectures& architectures);
// "a 32-bit program" or "a 64-bit program".
[[nodiscard]] const char* programText(const Architectures& architectures);

} // namespace vexo
