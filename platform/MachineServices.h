// The machine and the process the installer runs in: the Windows version, the processors'
// architecture, the clock, the console and the session, the shell, error texts and random
// names.
#pragma once

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

inline constexpr std::uint32_t kOsVersionInfoExSize = 156; // OSVERSIONINFOEX, ANSI layout
inline constexpr std::uint32_t kOsVersionInfoSize = 148;   // OSVERSIONINFO, ANSI layout

class MachineServices {
  public:
    virtual ~MachineServices() = default;

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
    // Sixteen random hexadecimal digits (RtlGenRandom), for a name nobody can foresee; empty
    // when the system gives none.
    [[nodiscard]] virtual std::string randomName() = 0;

    // Whether a window of this process can be seen by anyone: false in session 0, where
    // services and deployment tools run, or on a window station that is not visible.
    [[nodiscard]] virtual bool canShowWindows() = 0;
    // Asks Windows not to follow junctions that non-administrators made, where it can
    // (redirection trust); nothing is said of whether it could.
    virtual void guardAgainstRedirection() = 0;

    // The local time, "YYYY-MM-DD hh:mm:ss.mmm".
    [[nodiscard]] virtual std::string localTime() = 0;
    // The local time as a name part, "YYYYMMDD-hhmmss".
    [[nodiscard]] virtual std::string localTimeStamp() = 0;
    [[nodiscard]] virtual std::uint32_t processId() = 0;
    // Writes `text` to the console the program was started from (attaching to the parent's
    // console, or to a redirected standard output); false when there is none.
    [[nodiscard]] virtual bool writeToParentConsole(const std::string& text) = 0;
};

} // namespace vexo
