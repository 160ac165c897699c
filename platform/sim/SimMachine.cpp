#include "platform/sim/SimMachine.h"

#include "platform/sim/EmbeddedResources.h"

#include <atomic>
#include <fstream>
#include <unistd.h>

namespace vexo::sim {

namespace fs = std::filesystem;

namespace {

fs::path freshFolder() {
    static std::atomic<int> counter{0};
    fs::path p = fs::temp_directory_path() /
                 ("vexo-sim-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
    fs::remove_all(p);
    fs::create_directories(p);
    return p;
}

} // namespace

SimMachine::SimMachine() : SimMachine(embeddedResources()) {}

SimMachine::SimMachine(const Resources& resources)
    : registry(faults), system(faults), spooler(faults, registry, system),
      ui(resources), platform{spooler, registry, system, ui, resources}, driveC_(freshFolder()) {
    system.mapDrive('C', driveC_);
    fs::create_directories(driveC_ / "Windows/system32/spool/drivers/w32x86");
    fs::create_directories(driveC_ / "Windows/system32/spool/drivers/x64");
    fs::create_directories(driveC_ / "VEXO");
    system.setCurrentDirectory("C:\\VEXO");
    registry.makeKey(RegRoot::CurrentUser,
                     "Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows");
    registry.makeKey(RegRoot::LocalMachine,
                     "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Ports");
    registry.makeKey(RegRoot::LocalMachine, "HARDWARE\\DEVICEMAP\\SERIALCOMM");
}

SimMachine::~SimMachine() {
    std::error_code ec;
    fs::remove_all(driveC_, ec);
}

fs::path SimMachine::host(const std::string& windowsPath) const {
    return system.hostPath(windowsPath).value_or(fs::path());
}

void SimMachine::writeFile(const std::string& windowsPath, const std::string& content) {
    fs::path p = host(windowsPath);
    fs::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary) << content;
}

} // namespace vexo::sim
