// A whole simulated Windows machine for tests: registry, spooler, kernel services and the
// headless dialog backend, sharing one fault injector and call log. Drive C: is a fresh
// host folder that holds the driver directories and, at C:\VEXO, the current directory.
#pragma once

#include "platform/Platform.h"
#include "tests/sim/Faults.h"
#include "tests/sim/HeadlessUi.h"
#include "tests/sim/SimRegistry.h"
#include "tests/sim/SimSpooler.h"
#include "tests/sim/SimSystem.h"

#include <filesystem>
#include <string>

namespace vexo::sim {

class SimMachine {
  public:
    explicit SimMachine(const Resources& resources);
    SimMachine();
    ~SimMachine();
    SimMachine(const SimMachine&) = delete;
    SimMachine& operator=(const SimMachine&) = delete;

    Faults faults;
    SimRegistry registry;
    SimSystem system;
    SimSpooler spooler;
    HeadlessUi ui;
    Platform platform;

    // The host path of a Windows path on this machine.
    [[nodiscard]] std::filesystem::path host(const std::string& windowsPath) const;
    // Writes a file at a Windows path, creating its folders.
    void writeFile(const std::string& windowsPath, const std::string& content);

    // The machine's whole state, one line each: every registry key and value with its type
    // and bytes, every file on drive C: with its contents (and whether it is read-only),
    // every spooler record, the keys and printers left open. The driver directories'
    // common folder reads "<drivers>".
    [[nodiscard]] std::vector<std::string> state() const;
    // What the user and a debugger saw, in order, from call `from` of the call log on: the
    // progress positions, the pauses, the message boxes and the debugger lines (a run of
    // progress positions or of debugger lines on one line).
    [[nodiscard]] std::vector<std::string> journal(std::size_t from = 0) const;

  private:
    std::filesystem::path driveC_;
};

} // namespace vexo::sim
