// The system over the Win32 API: the file system (Win32Files.cpp), who this process is
// (Win32Identity.cpp), the machine and the process (Win32Machine.cpp) and the installation
// lock (Win32Lock.cpp).
#pragma once

#include "platform/System.h"

#include <string>

namespace vexo::win32 {

class Win32System final : public System {
  public:
    // FileSystem
    std::string currentDirectory() override;
    WinError changeDirectory(const std::string& path) override;
    std::string programFolder() override;
    std::string tempFolder() override;
    WinError copyFile(const std::string& source, const std::string& destination,
                      bool failIfExists) override;
    WinError deleteFile(const std::string& path) override;
    WinError readFile(const std::string& path, std::size_t limit, std::string& content) override;
    bool directoryExists(const std::string& path) override;
    bool fileExists(const std::string& path) override;
    WinError clearReadOnly(const std::string& path) override;
    std::string fullPath(const std::string& path) override;
    WinError openFolder(const std::string& folder, OpenFolder& opened, std::string& asked,
                        std::string& reached) override;
    WinError openFileIn(const OpenFolder& folder, const std::string& name, bool createNew,
                        LogFile& file, OpenedFileFacts& facts) override;
    WinError appendLog(const LogFile& file, const std::string& bytes) override;

    // Identity
    Elevation elevation() override;
    std::string accountName() override;
    bool runsAsLocalSystem() override;
    std::string accountSid() override;
    DomainFacts domain() override;
    WinError readSecurity(const std::string& path, ObjectSecurity& security) override;
    std::string accountNameOf(const std::string& sid) override;

    // MachineServices
    bool getVersion(std::uint32_t recordSize, OsVersion& version) override;
    std::optional<OsVersion> kernelVersion() override;
    Architectures machineArchitectures() override;
    void sleep(std::uint32_t milliseconds) override;
    std::intptr_t shellOpen(const std::string& file) override;
    void debugOutput(const std::string& text) override;
    std::string errorText(WinError error) override;
    std::string programTitle() override;
    std::string randomName() override;
    bool canShowWindows() override;
    void guardAgainstRedirection() override;
    std::string localTime() override;
    std::string localTimeStamp() override;
    std::uint32_t processId() override;
    bool writeToParentConsole(const std::string& text) override;

    // LockService
    MutexFacts openInstallMutex(const std::string& name, bool administratorsOwn,
                                InstallMutex& mutex) override;
    MutexWait takeMutex(const InstallMutex& mutex, WinError& error) override;

  protected:
    WinError closeFile(std::uintptr_t handle) override;
    WinError closeMutex(std::uintptr_t handle) override;
};

// The form of `path` to hand to a file function: as given while its full path fits in
// MAX_PATH, so that Windows resolves it as usual; otherwise the full path in its "\\?\"
// form ("\\?\UNC\server\share\..." for a network path), which has no length limit.
[[nodiscard]] std::wstring longPathForm(const std::wstring& path);

// GetFullPathName: `path` made absolute against the current directory; empty on failure.
[[nodiscard]] std::wstring fullPathName(const std::wstring& path);

// The program file's whole path (GetModuleFileName, which returns the buffer's size when it
// had to cut the name short); empty when it cannot be told.
[[nodiscard]] std::wstring programPath();

} // namespace vexo::win32
