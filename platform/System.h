// Kernel and shell services: version query, WOW64 query, current directory, file copy,
// sleep, starting a program, debugger output, error texts. Texts and paths are UTF-8;
// paths use backslashes as on Windows.
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

inline constexpr std::uint32_t kOsVersionInfoExSize = 156; // OSVERSIONINFOEX, ANSI layout
inline constexpr std::uint32_t kOsVersionInfoSize = 148;   // OSVERSIONINFO, ANSI layout

class System {
  public:
    virtual ~System() = default;

    // GetVersionEx with a zero-filled record whose size field is `recordSize`.
    // False when the call fails; `version` is then untouched.
    [[nodiscard]] virtual bool getVersion(std::uint32_t recordSize, OsVersion& version) = 0;

    // Looks up IsWow64Process in kernel32 at run time and calls it for this process.
    // nullopt when the function does not exist; otherwise the flag as the call left it.
    // A 64-bit build answers true: it runs on 64-bit Windows by construction.
    [[nodiscard]] virtual std::optional<bool> queryIsWow64() = 0;

    // The process's current directory, whole, without a trailing backslash unless it is a
    // drive root ("C:\").
    [[nodiscard]] virtual std::string currentDirectory() = 0;

    // CopyFile: relative paths resolve against the current directory.
    [[nodiscard]] virtual WinError copyFile(const std::string& source,
                                            const std::string& destination, bool failIfExists) = 0;

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
};

} // namespace vexo
