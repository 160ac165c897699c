#include "platform/win32/Win32System.h"

#include "platform/Text.h"
#include "platform/win32/UniqueHandle.h"
#include "platform/win32/WideText.h"

#include <windows.h>

#include <shellapi.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <vector>

namespace vexo::win32 {

std::wstring fullPathName(const std::wstring& path) {
    return sizedText(
        [&](LPWSTR buffer, DWORD size) {
            return GetFullPathNameW(path.c_str(), size, buffer, nullptr);
        },
        GetFullPathNameW(path.c_str(), 0, nullptr, nullptr));
}

std::wstring longPathForm(const std::wstring& path) {
    if (path.starts_with(L"\\\\?\\") || path.starts_with(L"\\\\.\\")) {
        return path;
    }
    std::wstring full = fullPathName(path);
    if (full.empty() || full.size() < MAX_PATH) {
        return path;
    }
    if (full.starts_with(L"\\\\")) {
        return L"\\\\?\\UNC\\" + full.substr(2);
    }
    return L"\\\\?\\" + full;
}

bool Win32System::getVersion(std::uint32_t recordSize, OsVersion& version) {
    // Callers name the records by their ANSI sizes; the wide records are longer.
    DWORD size = 0;
    if (recordSize == kOsVersionInfoExSize || recordSize == sizeof(OSVERSIONINFOEXW)) {
        size = sizeof(OSVERSIONINFOEXW);
    } else if (recordSize == kOsVersionInfoSize || recordSize == sizeof(OSVERSIONINFOW)) {
        size = sizeof(OSVERSIONINFOW);
    } else {
        SetLastError(ERROR_INVALID_PARAMETER); // no record of that size exists
        return false;
    }
    OSVERSIONINFOEXW info{};
    info.dwOSVersionInfoSize = size;
    if (!GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&info))) {
        return false;
    }
    version.majorVersion = info.dwMajorVersion;
    version.minorVersion = info.dwMinorVersion;
    version.buildNumber = info.dwBuildNumber;
    version.platformId = info.dwPlatformId;
    return true;
}

std::optional<OsVersion> Win32System::kernelVersion() {
    // ntdll's RtlGetVersion is in no user-mode header: its declaration, with the calling
    // convention of every system function.
    using RtlGetVersionFunction = LONG(WINAPI*)(OSVERSIONINFOW*);
    auto rtlGetVersion =
        lookupFunction<RtlGetVersionFunction>(GetModuleHandleW(L"ntdll"), "RtlGetVersion");
    if (rtlGetVersion == nullptr) {
        return std::nullopt;
    }
    OSVERSIONINFOW info{};
    info.dwOSVersionInfoSize = sizeof(info);
    if (rtlGetVersion(&info) != 0) {
        return std::nullopt;
    }
    return OsVersion{info.dwMajorVersion, info.dwMinorVersion, info.dwBuildNumber,
                     info.dwPlatformId};
}

Architectures Win32System::machineArchitectures() {
    Architectures a;
    a.program = sizeof(void*) == 8 ? Machine::X64 : Machine::X86;
    HMODULE kernel32 = GetModuleHandleW(L"kernel32");
    // Declared by the SDK only for Windows 10; called through a pointer that carries WINAPI.
    using IsWow64Process2Function = BOOL(WINAPI*)(HANDLE, USHORT*, USHORT*);
    if (auto isWow64Process2 = lookupFunction<IsWow64Process2Function>(kernel32, "IsWow64Process2");
        isWow64Process2 != nullptr) {
        USHORT process = 0, native = 0;
        if (isWow64Process2(GetCurrentProcess(), &process, &native)) {
            a.native = machineOf(native);
            return a;
        }
    }
    if constexpr (sizeof(void*) == 8) {
        a.native = Machine::X64; // a 64-bit program runs on 64-bit Windows only
        return a;
    }
    auto isWow64Process = lookupFunction<decltype(&::IsWow64Process)>(kernel32, "IsWow64Process");
    if (isWow64Process == nullptr) {
        return a;
    }
    BOOL wow64 = FALSE;
    isWow64Process(GetCurrentProcess(), &wow64); // the flag is used as the call left it
    a.native = wow64 != FALSE ? Machine::X64 : Machine::X86;
    return a;
}

std::string Win32System::currentDirectory() {
    return narrow(
        sizedText([](LPWSTR buffer, DWORD size) { return GetCurrentDirectoryW(size, buffer); },
                  GetCurrentDirectoryW(0, nullptr)));
}

WinError Win32System::changeDirectory(const std::string& path) {
    auto wide = tryWiden(path);
    if (!wide) {
        return ERROR_NO_UNICODE_TRANSLATION;
    }
    if (!SetCurrentDirectoryW(wide->c_str())) {
        return lastErrorOr();
    }
    return err::Success;
}

WinError Win32System::copyFile(const std::string& source, const std::string& destination,
                               bool failIfExists) {
    auto wideSource = tryWiden(source);
    auto wideDestination = tryWiden(destination);
    if (!wideSource || !wideDestination) {
        return ERROR_NO_UNICODE_TRANSLATION;
    }
    if (!CopyFileW(longPathForm(*wideSource).c_str(), longPathForm(*wideDestination).c_str(),
                   failIfExists ? TRUE : FALSE)) {
        return lastErrorOr();
    }
    return err::Success;
}

WinError Win32System::deleteFile(const std::string& path) {
    auto wide = tryWiden(path);
    if (!wide) {
        return ERROR_NO_UNICODE_TRANSLATION;
    }
    if (!DeleteFileW(longPathForm(*wide).c_str())) {
        return lastErrorOr();
    }
    return err::Success;
}

WinError Win32System::readFile(const std::string& path, std::size_t limit, std::string& content) {
    auto wide = tryWiden(path);
    if (!wide) {
        return ERROR_NO_UNICODE_TRANSLATION;
    }
    HANDLE raw = CreateFileW(longPathForm(*wide).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                             OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (raw == INVALID_HANDLE_VALUE) {
        return lastErrorOr(ERROR_FILE_NOT_FOUND);
    }
    UniqueKernelHandle file(raw);
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.get(), &size)) {
        return lastErrorOr();
    }
    if (size.QuadPart < 0 || static_cast<std::uint64_t>(size.QuadPart) > limit) {
        return err::FileTooLarge;
    }
    std::string bytes(static_cast<std::size_t>(size.QuadPart), '\0');
    std::size_t done = 0;
    while (done < bytes.size()) {
        DWORD read = 0;
        if (!ReadFile(file.get(), bytes.data() + done, static_cast<DWORD>(bytes.size() - done),
                      &read, nullptr)) {
            return lastErrorOr(ERROR_READ_FAULT);
        }
        if (read == 0) {
            bytes.resize(done); // it became shorter since its size was read
            break;
        }
        done += read;
    }
    content = std::move(bytes);
    return err::Success;
}

namespace {

// The attributes of what `path` names, or nullopt when there is nothing there.
std::optional<DWORD> attributesOf(const std::string& path) {
    auto wide = tryWiden(path);
    if (!wide) {
        return std::nullopt;
    }
    DWORD attributes = GetFileAttributesW(longPathForm(*wide).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        return std::nullopt;
    }
    return attributes;
}

} // namespace

bool Win32System::directoryExists(const std::string& path) {
    auto attributes = attributesOf(path);
    return attributes && (*attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool Win32System::fileExists(const std::string& path) {
    auto attributes = attributesOf(path);
    return attributes && (*attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

WinError Win32System::clearReadOnly(const std::string& path) {
    auto wide = tryWiden(path);
    if (!wide) {
        return ERROR_NO_UNICODE_TRANSLATION;
    }
    std::wstring target = longPathForm(*wide);
    DWORD attributes = GetFileAttributesW(target.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        return static_cast<WinError>(GetLastError());
    }
    if ((attributes & FILE_ATTRIBUTE_READONLY) == 0) {
        return err::Success;
    }
    if (!SetFileAttributesW(target.c_str(), attributes & ~DWORD{FILE_ATTRIBUTE_READONLY})) {
        return static_cast<WinError>(GetLastError());
    }
    return err::Success;
}

void Win32System::sleep(std::uint32_t milliseconds) {
    Sleep(milliseconds);
}

std::intptr_t Win32System::shellOpen(const std::string& file) {
    auto wideFile = tryWiden(file);
    if (!wideFile) {
        return SE_ERR_FNF; // no such file can exist
    }
    HINSTANCE result =
        ShellExecuteW(nullptr, L"open", wideFile->c_str(), nullptr, nullptr, SW_SHOWNORMAL);
    return reinterpret_cast<std::intptr_t>(result);
}

void Win32System::debugOutput(const std::string& text) {
    OutputDebugStringW(widen(text).c_str());
}

std::string Win32System::errorText(WinError error) {
    LPWSTR buffer = nullptr;
    DWORD length = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                      FORMAT_MESSAGE_IGNORE_INSERTS,
                                  nullptr, error, 0, reinterpret_cast<LPWSTR>(&buffer), 0, nullptr);
    UniqueLocalMemory owner(buffer);
    if (length == 0 || buffer == nullptr) {
        return cat({"Unknown error ", Decimal(error), "."});
    }
    std::wstring_view text(buffer, length);
    while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n' || text.back() == L' ')) {
        text.remove_suffix(1);
    }
    return narrow(text);
}

namespace {

// The program file's whole path (GetModuleFileName, which returns the buffer's size when it
// had to cut the name short); empty when it cannot be told.
std::wstring programPath() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) {
            return std::wstring();
        }
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        if (path.size() >= 0x10000) { // longer than any Windows path
            return std::wstring();
        }
        path.assign(path.size() * 2, L'\0');
    }
}

} // namespace

std::string Win32System::programTitle() {
    const std::wstring path = programPath();
    std::wstring_view name(path);
    if (auto slash = name.find_last_of(L"\\/"); slash != std::wstring_view::npos) {
        name.remove_prefix(slash + 1);
    }
    if (auto dot = name.find_last_of(L'.'); dot != std::wstring_view::npos && dot != 0) {
        name = name.substr(0, dot);
    }
    return narrow(name);
}

std::string Win32System::programFolder() {
    std::wstring path = programPath();
    const std::size_t slash = path.find_last_of(L"\\/");
    if (slash == std::wstring::npos) {
        return std::string();
    }
    // "C:\VexoSetup.exe" lies in the drive's root, "C:\"
    path.resize(slash == 2 && path[1] == L':' ? slash + 1 : slash);
    return narrow(path);
}

} // namespace vexo::win32
