// Kernel and shell services: version query, WOW64 query, current directory, file copy,
// sleep, starting a program, debugger output, error texts. Texts and paths are UTF-8;
// paths use backslashes as on Windows.
#pragma once

#include "platform/Security.h"
#include "platform/UniqueHandle.h"
#include "platform/Win32Constants.h"

#include <cstdint>
#include <optional>
#include <string>

namespace vexo {

// The fields of OSVERSIONINFO(EX) that the installer classifies by.
struct OsVersion {
    std::uint32_t majorVersion = 0;
    std::uint32_t minorVersion = 0;
    std::uint32_t buildNumber = 0;
    std::uint32_t platformId = 0;
};

// A processor architecture Windows runs on or a program is built for.
enum class Machine : std::uint8_t { Unknown, X86, X64, Arm64 };

// IMAGE_FILE_MACHINE_* as IsWow64Process2 answers them.
inline constexpr std::uint16_t kImageMachineI386 = 0x014C;
inline constexpr std::uint16_t kImageMachineAmd64 = 0x8664;
inline constexpr std::uint16_t kImageMachineArm64 = 0xAA64;
[[nodiscard]] constexpr Machine machineOf(std::uint16_t imageMachine) {
    return imageMachine == kImageMachineI386    ? Machine::X86
           : imageMachine == kImageMachineAmd64 ? Machine::X64
           : imageMachine == kImageMachineArm64 ? Machine::Arm64
                                                : Machine::Unknown;
}

// The machine Windows runs on and the one this program was built for.
struct Architectures {
    Machine native = Machine::Unknown; // Unknown when it cannot be told
    Machine program = Machine::X86;
};

class System;

// A log file or a mutex that the system gave out; closes itself (a mutex is released first).
using SystemHandle = OwnedHandle<System>;

// What became of taking the installation mutex.
struct MutexTake {
    enum class Result {
        Taken,       // held now
        Abandoned,   // held now; the run that held it ended without releasing it
        Busy,        // another run holds it
        NotHonoured, // an object under its name that another user may have made: `why`
        Failed,      // it could not be created or opened: `error`
    };
    Result result = Result::Failed;
    WinError error = err::Success;
    std::string why;
    std::string name; // its full name ("Global\VexoSetupInstall"), for the log
};

inline constexpr std::uint32_t kOsVersionInfoExSize = 156; // OSVERSIONINFOEX, ANSI layout
inline constexpr std::uint32_t kOsVersionInfoSize = 148;   // OSVERSIONINFO, ANSI layout

class System {
  public:
    virtual ~System() = default;

    // GetVersionEx with a zero-filled record whose size field is `recordSize`.
    // False when the call fails; `version` is then untouched.
    [[nodiscard]] virtual bool getVersion(std::uint32_t recordSize, OsVersion& version) = 0;

    // The version the kernel reports (RtlGetVersion), which no compatibility shim lowers as
    // it does GetVersionEx's for a program without a compatibility manifest; for a log.
    // nullopt when it cannot be read.
    [[nodiscard]] virtual std::optional<OsVersion> kernelVersion() = 0;

    // The native machine and the program's own. The native one comes from IsWow64Process2
    // (Windows 10 1709 and later, looked up at run time); where that is missing, a 64-bit
    // build runs on x64 and a 32-bit one asks IsWow64Process (looked up too): true means
    // x64, false (or the flag as a failed call left it) x86, a missing function Unknown.
    [[nodiscard]] virtual Architectures machineArchitectures() = 0;

    // The process's current directory, whole, without a trailing backslash unless it is a
    // drive root ("C:\").
    [[nodiscard]] virtual std::string currentDirectory() = 0;

    // Makes `path` the process's current directory (SetCurrentDirectory).
    [[nodiscard]] virtual WinError changeDirectory(const std::string& path) = 0;
    // The folder of the program file (GetModuleFileName), without a trailing backslash
    // unless it is a drive root; empty when it cannot be told.
    [[nodiscard]] virtual std::string programFolder() = 0;

    // CopyFile: relative paths resolve against the current directory.
    [[nodiscard]] virtual WinError copyFile(const std::string& source,
                                            const std::string& destination, bool failIfExists) = 0;

    // Deletes the file `path` (DeleteFile; a link goes, not what it leads to).
    [[nodiscard]] virtual WinError deleteFile(const std::string& path) = 0;
    // The whole content of the file `path`, without following a link at its end; at most
    // `limit` bytes, err::FileTooLarge past them. `content` is untouched on failure.
    [[nodiscard]] virtual WinError readFile(const std::string& path, std::size_t limit,
                                            std::string& content) = 0;

    // Whether `path` (relative to the current directory) names an existing folder.
    [[nodiscard]] virtual bool directoryExists(const std::string& path) = 0;
    // Whether `path` (relative to the current directory) names an existing file.
    [[nodiscard]] virtual bool fileExists(const std::string& path) = 0;

    // Clears the read-only attribute of an existing file, which CopyFile carries over from
    // a read-only source and which would make the next copy onto it fail. Success when the
    // file is not read-only; err::FileNotFound when there is no such file.
    [[nodiscard]] virtual WinError clearReadOnly(const std::string& path) = 0;

    virtual void sleep(std::uint32_t milliseconds) = 0;

    // ShellExecute(no owner, "open", file, no parameters, no directory, SW_SHOWNORMAL).
    // Returns the shell's result; above 32 means it started.
    virtual std::intptr_t shellOpen(const std::string& file) = 0;

    // OutputDebugString.
    virtual void debugOutput(const std::string& text) = 0;

    // Windows' own text for an error code, in the system's language, without a trailing
    // line break.
    [[nodiscard]] virtual std::string errorText(WinError error) = 0;

    // The program file's name without its extension ("VexoSetup"): the message boxes'
    // caption.
    [[nodiscard]] virtual std::string programTitle() = 0;

    // Opens the log file `path` for appending, so that nothing a user prepared can make the
    // program write elsewhere: the folder is opened first and must lead where the path says
    // (no link, junction or mount point on the way: its final path is the path asked for),
    // then the file is opened in that very folder without following a link and without
    // letting a pipe's server act as this program. Refused with err::AccessDenied, `refusal`
    // saying why, and nothing written: a path that is not on a disk or a share, a reparse
    // point, a folder, something other than a disk file, a file with other hard links, and
    // (elevated) a file whose owner is not Administrators, SYSTEM or this account. `createNew`
    // only creates it, failing with err::FileExists when something is there already. Two
    // runs may append to one log at once. `file` stays closed on failure.
    [[nodiscard]] virtual WinError openLog(const std::string& path, bool createNew,
                                           SystemHandle& file, std::string& refusal) = 0;
    // Appends `bytes` to a log file that openLog gave out, in one write.
    [[nodiscard]] virtual WinError appendLog(const SystemHandle& file,
                                             const std::string& bytes) = 0;
    // Sixteen random hexadecimal digits (RtlGenRandom), for a name nobody can foresee; empty
    // when the system gives none.
    [[nodiscard]] virtual std::string randomName() = 0;

    // Takes the mutex `name` that only Administrators and SYSTEM may open, without waiting:
    // in a private namespace bound to the Administrators group where the system has them,
    // else as "Global\name". An object of that name that another user could have made
    // first (not a mutex, owned by another account, or shutting this process out) is not
    // honoured. `lock` holds it on Taken and Abandoned and stays closed otherwise.
    [[nodiscard]] virtual MutexTake takeInstallMutex(const std::string& name,
                                                     SystemHandle& lock) = 0;

    // Whether a window of this process can be seen by anyone: false in session 0, where
    // services and deployment tools run, or on a window station that is not visible.
    [[nodiscard]] virtual bool canShowWindows() = 0;
    // Asks Windows not to follow junctions that non-administrators made, where it can
    // (redirection trust); nothing is said of whether it could.
    virtual void guardAgainstRedirection() = 0;

    // The account the process runs as ("DOMAIN\user"), and whether it is LocalSystem.
    [[nodiscard]] virtual std::string accountName() = 0;
    [[nodiscard]] virtual bool runsAsLocalSystem() = 0;

    // The local time, "YYYY-MM-DD hh:mm:ss.mmm".
    [[nodiscard]] virtual std::string localTime() = 0;
    // The local time as a name part, "YYYYMMDD-hhmmss".
    [[nodiscard]] virtual std::string localTimeStamp() = 0;
    // The folder for temporary files (GetTempPath), without a trailing backslash.
    [[nodiscard]] virtual std::string tempFolder() = 0;
    [[nodiscard]] virtual std::uint32_t processId() = 0;

    // Writes `text` to the console the program was started from (attaching to the parent's
    // console, or to a redirected standard output); false when there is none.
    [[nodiscard]] virtual bool writeToParentConsole(const std::string& text) = 0;

    // Who may change the files the installer reads, and who this process is.

    // Whether the process runs elevated (its token's TokenElevation; LocalSystem is). When
    // the token cannot be read, true: the checks of an elevated run are then made.
    [[nodiscard]] virtual bool runsElevated() = 0;
    // The SID of the account the process runs as ("S-1-5-18"); empty when it cannot be read.
    [[nodiscard]] virtual std::string accountSid() = 0;
    // The SIDs of the domain this computer is joined to and of its forest's root domain, as
    // the local security policy keeps them (LsaQueryInformationPolicy, no domain controller
    // asked); empty where the computer is in no domain, and the root's where it cannot be
    // told locally (a child domain).
    struct DomainSids {
        std::string domain;
        std::string forestRoot;
    };
    [[nodiscard]] virtual DomainSids domainSids() = 0;
    // The owner and access list of the file or folder `path` (GetNamedSecurityInfo; relative
    // paths against the current directory, a network path as any other). `security` is
    // untouched on failure.
    [[nodiscard]] virtual WinError readSecurity(const std::string& path,
                                                ObjectSecurity& security) = 0;
    // The account or group a SID names, "DOMAIN\name" or "name" (LookupAccountSid); empty
    // when it names none that can be found.
    [[nodiscard]] virtual std::string accountNameOf(const std::string& sid) = 0;

  protected:
    virtual WinError closeHandle(std::uintptr_t handle) = 0;

  private:
    friend struct ClosedByOwner<System>;
    static WinError closeOwned(System& system, std::uintptr_t handle) {
        return system.closeHandle(handle);
    }
};

} // namespace vexo
