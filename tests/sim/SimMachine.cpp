#include "tests/sim/SimMachine.h"

#include "tests/sim/EmbeddedResources.h"

#include <algorithm>
#include <atomic>
#include <fstream>
#include <sstream>
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
      ui(resources, faults), platform{spooler, registry, system, ui, resources},
      driveC_(freshFolder()) {
    system.mapDrive('C', driveC_);
    fs::create_directories(driveC_ / "Windows/system32/spool/drivers/w32x86");
    fs::create_directories(driveC_ / "Windows/system32/spool/drivers/x64");
    fs::create_directories(driveC_ / "VEXO");
    fs::create_directories(driveC_ / "Users/user/AppData/Local/Temp");
    system.setCurrentDirectory("C:\\VEXO");
    registry.makeKey(RegRoot::CurrentUser,
                     "Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows");
    registry.makeKey(RegRoot::LocalMachine,
                     "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Ports");
    registry.makeKey(RegRoot::LocalMachine, "HARDWARE\\DEVICEMAP\\SERIALCOMM");
    // The spooler's keys of the printers, there on Windows whether it has printers or not.
    for (const auto& [root, key] :
         {std::pair{RegRoot::CurrentConfig, "SYSTEM\\CurrentControlSet\\Control\\Print\\Printers"},
          std::pair{RegRoot::LocalMachine, "SYSTEM\\CurrentControlSet\\Control\\Print\\Printers"},
          std::pair{RegRoot::LocalMachine,
                    "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Print\\Printers"}}) {
        registry.makeKey(root, key);
    }
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

std::vector<std::string> SimMachine::state() const {
    std::vector<std::string> lines = registry.dump();
    lines.push_back("open registry keys: " + std::to_string(registry.openKeyCount()));
    std::vector<std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(driveC_)) {
        if (!entry.is_regular_file()) {
            continue;
        }
        std::string path = "C:\\" + fs::relative(entry.path(), driveC_).generic_string();
        std::replace(path.begin(), path.end(), '/', '\\');
        std::ifstream in(entry.path(), std::ios::binary);
        std::string content{std::istreambuf_iterator<char>(in), {}};
        bool readOnly = (entry.status().permissions() & fs::perms::owner_write) == fs::perms::none;
        files.push_back(path + " " + quotedBytes(content) + (readOnly ? " read-only" : ""));
    }
    std::sort(files.begin(), files.end());
    lines.insert(lines.end(), files.begin(), files.end());
    for (std::string& line : spooler.dump()) {
        lines.push_back(std::move(line));
    }
    const std::string drivers = "C:\\Windows\\system32\\spool\\drivers\\";
    for (std::string& line : lines) {
        for (std::size_t at = line.find(drivers); at != std::string::npos;
             at = line.find(drivers, at)) {
            line.replace(at, drivers.size(), "<drivers>\\");
        }
    }
    return lines;
}

std::vector<std::string> SimMachine::journal(std::size_t from) const {
    std::vector<std::string> lines;
    bool inProgress = false;
    bool inDebugger = false;
    const auto& calls = faults.calls();
    for (std::size_t i = from; i < calls.size(); ++i) {
        const CallRecord& c = calls[i];
        if (c.operation == "progress") {
            if (inProgress) {
                lines.back() += " " + c.subject;
            } else {
                lines.push_back("progress " + c.subject);
            }
        } else if (c.operation == "OutputDebugString") {
            if (inDebugger) {
                lines.back() += " " + quotedBytes(c.subject);
            } else {
                lines.push_back("debugger " + quotedBytes(c.subject));
            }
        } else if (c.operation == "MessageBox") {
            // The caption, style and answer, then the text's lines (CR LF) each on a line
            // of their own, behind "| ".
            std::string text = c.subject;
            for (std::size_t at = text.find("\r\n"); at != std::string::npos;
                 at = text.find("\r\n", at)) {
                text.replace(at, 2, "\n");
            }
            std::size_t head = text.find('\n');
            lines.push_back(c.operation + " " + text.substr(0, head));
            std::istringstream rest(text.substr(head + 1));
            for (std::string line; std::getline(rest, line);) {
                std::string q = quotedBytes(line);
                lines.push_back("| " + q.substr(1, q.size() - 2));
            }
        } else if (c.operation == "Sleep") {
            lines.push_back(c.operation + " " + c.subject);
        } else {
            continue; // a call that is not part of the journal
        }
        inProgress = c.operation == "progress";
        inDebugger = c.operation == "OutputDebugString";
    }
    return lines;
}

} // namespace vexo::sim
