// The simulated kernel and shell. Windows paths ("C:\Users\...") map onto real host
// folders through drive letters; names match without regard to case, as on Windows, and
// a copy carries the read-only attribute over, as CopyFile does.
#pragma once

#include "platform/System.h"
#include "platform/sim/Faults.h"

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace vexo::sim {

class SimSystem final : public System {
  public:
    explicit SimSystem(Faults& faults);

    bool getVersion(std::uint32_t recordSize, OsVersion& version) override;
    std::optional<bool> queryIsWow64() override;
    std::string currentDirectory() override { return currentDirectory_; }
    WinError copyFile(const std::string& source, const std::string& destination,
                      bool failIfExists) override;
    bool directoryExists(const std::string& path) override;
    bool fileExists(const std::string& path) override;
    WinError clearReadOnly(const std::string& path) override;
    void sleep(std::uint32_t milliseconds) override;
    std::intptr_t shellOpen(const std::string& file) override;
    void debugOutput(const std::string& text) override;
    std::string errorText(WinError error) override;
    std::string programTitle() override { return "VexoSetup"; }

    // Set-up for tests.
    void setVersion(OsVersion v) { version_ = v; }
    // Which record sizes the version query accepts (both by default).
    void setVersionRecordsAccepted(bool extended, bool basic) {
        acceptExtended_ = extended;
        acceptBasic_ = basic;
    }
    // nullopt: IsWow64Process does not exist; otherwise what it reports.
    void setWow64(std::optional<bool> v) { wow64_ = v; }
    void setCurrentDirectory(std::string windowsPath) {
        currentDirectory_ = std::move(windowsPath);
    }
    // Maps the drive letter `drive` ('C') onto a host folder.
    void mapDrive(char drive, std::filesystem::path hostFolder);

    // The host path of a Windows path (relative paths against the current directory), each
    // component matched without regard to case; components that do not exist are appended
    // as given. nullopt when the drive is not mapped.
    [[nodiscard]] std::optional<std::filesystem::path>
    hostPath(const std::string& windowsPath) const;
    // The absolute Windows form of a path, as Windows resolves it against the current
    // directory ("\x" is the root of the current drive).
    [[nodiscard]] std::string absolutePath(const std::string& windowsPath) const;

    // What the program did, read from the call log.
    [[nodiscard]] std::vector<std::string> debugLines() const {
        return faults_.subjectsOf("OutputDebugString");
    }
    [[nodiscard]] std::vector<std::string> shellStarts() const {
        return faults_.subjectsOf("ShellExecute");
    }
    struct Copy {
        std::string source, destination;
        WinError result;
    };
    [[nodiscard]] std::vector<Copy> copies() const;

  private:
    Faults& faults_;
    OsVersion version_{6, 1, 7601, PlatformNt};
    bool acceptExtended_ = true;
    bool acceptBasic_ = true;
    std::optional<bool> wow64_ = false;
    std::string currentDirectory_ = "C:\\VEXO";
    std::map<char, std::filesystem::path> drives_;
};

} // namespace vexo::sim
