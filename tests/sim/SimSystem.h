// The simulated kernel and shell. Windows paths ("C:\Users\...") map onto real host
// folders through drive letters; names match without regard to case, as on Windows, and
// a copy carries the read-only attribute over, as CopyFile does.
#pragma once

#include "platform/System.h"
#include "tests/sim/Faults.h"

#include <filesystem>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace vexo::sim {

class SimSystem final : public System {
  public:
    explicit SimSystem(Faults& faults);

    bool getVersion(std::uint32_t recordSize, OsVersion& version) override;
    std::optional<OsVersion> kernelVersion() override { return version_; }
    // The simulated program is the shipped one, built for x86.
    Architectures machineArchitectures() override;
    std::string currentDirectory() override { return currentDirectory_; }
    // Fails with err::PathNotFound for a folder that is not there.
    WinError changeDirectory(const std::string& path) override;
    std::string programFolder() override { return programFolder_; }
    WinError copyFile(const std::string& source, const std::string& destination,
                      bool failIfExists) override;
    bool directoryExists(const std::string& path) override;
    bool fileExists(const std::string& path) override;
    WinError deleteFile(const std::string& path) override;
    WinError readFile(const std::string& path, std::size_t limit, std::string& content) override;
    WinError clearReadOnly(const std::string& path) override;
    void sleep(std::uint32_t milliseconds) override;
    std::intptr_t shellOpen(const std::string& file) override;
    void debugOutput(const std::string& text) override;
    std::string errorText(WinError error) override;
    std::string programTitle() override { return "VexoSetup"; }
    // A link on the host stands for a reparse point, in the path's folders as at its end; a
    // host file's hard links are its own; owners are set by setOwner.
    std::string fullPath(const std::string& path) override { return absolutePath(path); }
    WinError openFolder(const std::string& folder, OpenFolder& opened, std::string& asked,
                        std::string& reached) override;
    WinError openFileIn(const OpenFolder& folder, const std::string& name, bool createNew,
                        LogFile& file, OpenedFileFacts& facts) override;
    WinError appendLog(const LogFile& file, const std::string& bytes) override;
    std::string randomName() override { return randomName_; }
    MutexFacts openInstallMutex(const std::string& name, bool administratorsOwn,
                                InstallMutex& mutex) override;
    MutexWait takeMutex(const InstallMutex& mutex, WinError& error) override;
    bool canShowWindows() override { return canShowWindows_; }
    void guardAgainstRedirection() override { faults_.log("SetProcessMitigationPolicy", ""); }
    std::string accountName() override { return account_; }
    bool runsAsLocalSystem() override { return localSystem_; }
    std::string localTime() override { return "2026-12-08 10:00:00.000"; }
    std::string localTimeStamp() override { return "20261208-100000"; }
    std::string tempFolder() override { return tempFolder_; }
    std::uint32_t processId() override { return 4242; }
    bool writeToParentConsole(const std::string& text) override;

    // Set-up for tests.
    void setVersion(OsVersion v) { version_ = v; }
    // Which record sizes the version query accepts (both by default).
    void setVersionRecordsAccepted(bool extended, bool basic) {
        acceptExtended_ = extended;
        acceptBasic_ = basic;
    }
    // nullopt: IsWow64Process does not exist; otherwise what it reports.
    void setWow64(std::optional<bool> v) { wow64_ = v; }
    // What IsWow64Process2 answers as the native machine (IMAGE_FILE_MACHINE_*); nullopt:
    // the function is missing (before Windows 10 1709).
    void setNativeMachine(std::optional<std::uint16_t> machine) { nativeMachine_ = machine; }
    void setCurrentDirectory(std::string windowsPath) {
        currentDirectory_ = std::move(windowsPath);
    }
    // The folder the program file is in ("C:\\VEXO" unless set).
    void setProgramFolder(std::string windowsPath) { programFolder_ = std::move(windowsPath); }
    // What another process left under a kernel object's name ("Global\\VexoSetupInstall").
    struct NamedObject {
        bool mutex = true;
        std::string owner = sids::Administrators; // its SID
        bool deniesAccess = false;
        bool held = false;      // by another process
        bool abandoned = false; // its holder ended without releasing it
    };
    void plantObject(const std::string& name, NamedObject object);
    // Another process holds the mutex `name` (or no longer does), one it may hold.
    void setMutexHeldElsewhere(const std::string& name, bool held);
    // Whether the system has private namespaces (Windows does; Wine 8 does not).
    void setPrivateNamespaces(bool present) { privateNamespaces_ = present; }
    void setCanShowWindows(bool can) { canShowWindows_ = can; }
    // The owner of the file `windowsPath` (a SID); this account's by default.
    void setOwner(const std::string& windowsPath, std::string ownerSid);
    void setRandomName(std::string name) { randomName_ = std::move(name); }
    // The account the program runs as; LocalSystem is "NT AUTHORITY\SYSTEM".
    void setAccount(std::string name, bool localSystem) {
        account_ = std::move(name);
        localSystem_ = localSystem;
    }
    void setTempFolder(std::string windowsPath) { tempFolder_ = std::move(windowsPath); }
    // Whether the program was started from a console (the text written is in the call log
    // as "WriteConsole").
    void setParentConsole(bool present) { parentConsole_ = present; }
    // The mutexes this program holds or has open now, and the log files it has open.
    [[nodiscard]] std::size_t heldMutexCount() const { return mutexes_.size(); }
    [[nodiscard]] std::size_t openLogCount() const { return logs_.size(); }

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

    // Who may change the files the installer reads. Every file and folder has, unless set,
    // the security of Wine's: the running account owns it, SYSTEM and the account have full
    // control, Everyone may read and run it.
    Elevation elevation() override { return elevation_; }
    std::string accountSid() override { return localSystem_ ? sids::LocalSystem : kUserSid; }
    DomainFacts domain() override { return domain_; }
    // The domain the simulated computer is joined to, its forest's root where known, and the
    // computer's account there.
    void setDomain(std::string domain, std::string forestRoot, std::string computerAccount = "") {
        domain_ = {std::move(domain), std::move(forestRoot), std::move(computerAccount)};
    }
    WinError readSecurity(const std::string& path, ObjectSecurity& security) override;
    // The well-known accounts, this one and VEXO-PC\\mallory (kOtherUserSid) by name, and
    // those named by setAccountName; any other SID names no account.
    std::string accountNameOf(const std::string& sid) override;
    void setAccountName(const std::string& sid, std::string name) {
        accountNames_[sid] = std::move(name);
    }
    void setElevated(bool elevated) {
        elevation_ = elevated ? Elevation::Elevated : Elevation::NotElevated;
    }
    void setElevation(Elevation elevation) { elevation_ = elevation; }
    void setSecurity(const std::string& path, ObjectSecurity security);
    [[nodiscard]] ObjectSecurity defaultSecurity();
    static constexpr const char* kUserSid = "S-1-5-21-1004336348-1177238915-682003330-1001";
    static constexpr const char* kOtherUserSid = "S-1-5-21-1004336348-1177238915-682003330-1002";

  protected:
    WinError closeFile(std::uintptr_t handle) override;
    WinError closeMutex(std::uintptr_t handle) override;

  private:
    // The Windows path of a host path under a mapped drive; empty when it is under none.
    [[nodiscard]] std::string windowsPathOf(const std::filesystem::path& host) const;

    Faults& faults_;
    OsVersion version_{6, 1, 7601, PlatformNt};
    bool acceptExtended_ = true;
    bool acceptBasic_ = true;
    std::optional<bool> wow64_ = false;
    DomainFacts domain_;
    std::map<std::string, std::string> accountNames_;
    std::optional<std::uint16_t> nativeMachine_;
    std::string currentDirectory_ = "C:\\VEXO";
    std::string programFolder_ = "C:\\VEXO";
    std::map<char, std::filesystem::path> drives_;
    std::map<std::uintptr_t, std::filesystem::path> logs_;
    struct OpenedFolder {
        std::string windowsPath;
        std::filesystem::path host;
    };
    std::map<std::uintptr_t, OpenedFolder> folders_;
    struct OpenedMutex {
        std::string name; // in lower case
        bool held = false;
    };
    std::map<std::uintptr_t, OpenedMutex> mutexes_;
    std::map<std::string, NamedObject> objects_; // by the name in lower case
    std::map<std::string, std::string> owners_;  // by the absolute path in lower case
    bool privateNamespaces_ = false;
    bool canShowWindows_ = true;
    Elevation elevation_ = Elevation::Elevated;
    std::string randomName_ = "5eedc0de5eedc0de";
    std::string account_ = "VEXO-PC\\user";
    bool localSystem_ = false;
    std::string tempFolder_ = "C:\\Users\\user\\AppData\\Local\\Temp";
    bool parentConsole_ = false;
    std::uintptr_t nextHandle_ = 0x9000;
    std::map<std::string, ObjectSecurity> security_; // by absolute path in lower case
};

} // namespace vexo::sim
