// Kernel and shell services over kernel32 and shell32's wide functions.
#pragma once

#include "platform/System.h"

#include <map>
#include <string>

namespace vexo::win32 {

class Win32System final : public System {
  public:
    bool getVersion(std::uint32_t recordSize, OsVersion& version) override;
    std::optional<OsVersion> kernelVersion() override;
    Architectures machineArchitectures() override;
    std::string currentDirectory() override;
    WinError changeDirectory(const std::string& path) override;
    std::string programFolder() override;
    WinError deleteFile(const std::string& path) override;
    WinError readFile(const std::string& path, std::size_t limit, std::string& content) override;
    WinError copyFile(const std::string& source, const std::string& destination,
                      bool failIfExists) override;
    bool directoryExists(const std::string& path) override;
    bool fileExists(const std::string& path) override;
    WinError clearReadOnly(const std::string& path) override;
    void sleep(std::uint32_t milliseconds) override;
    std::intptr_t shellOpen(const std::string& file) override;
    void debugOutput(const std::string& text) override;
    std::string errorText(WinError error) override;
    std::string programTitle() override;
    WinError openLog(const std::string& path, bool createNew, SystemHandle& file,
                     std::string& refusal) override;
    WinError appendLog(const SystemHandle& file, const std::string& bytes) override;
    std::string randomName() override;
    MutexTake takeInstallMutex(const std::string& name, SystemHandle& lock) override;
    bool canShowWindows() override;
    void guardAgainstRedirection() override;
    std::string accountName() override;
    bool runsAsLocalSystem() override;
    std::string localTime() override;
    std::string localTimeStamp() override;
    std::string tempFolder() override;
    std::uint32_t processId() override;
    bool writeToParentConsole(const std::string& text) override;

    // Win32Security.cpp
    bool runsElevated() override;
    std::string accountSid() override;
    DomainSids domainSids() override;
    WinError readSecurity(const std::string& path, ObjectSecurity& security) override;
    std::string accountNameOf(const std::string& sid) override;

  protected:
    WinError closeHandle(std::uintptr_t handle) override;

  private:
    // The mutexes closeHandle releases first, each with the private namespace it lives in
    // (0 for none), which is closed after it.
    std::map<std::uintptr_t, std::uintptr_t> mutexes_;
};

// The form of `path` to hand to a file function: as given while its full path fits in
// MAX_PATH, so that Windows resolves it as usual; otherwise the full path in its "\\?\"
// form ("\\?\UNC\server\share\..." for a network path), which has no length limit.
[[nodiscard]] std::wstring longPathForm(const std::wstring& path);

// GetFullPathName: `path` made absolute against the current directory; empty on failure.
[[nodiscard]] std::wstring fullPathName(const std::wstring& path);

} // namespace vexo::win32
