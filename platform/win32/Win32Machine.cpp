// The machine and the process the installer runs in: the Windows version and the processors'
// architecture, the shell, error texts, the clock, the console it was started from, whether
// anyone can see its windows, and random names.
#include "platform/win32/Win32System.h"

#include "platform/Text.h"
#include "platform/win32/UniqueHandle.h"
#include "platform/win32/WideText.h"

#include <windows.h>

#include <shellapi.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <utility>
#include <vector>

namespace vexo::win32 {

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

namespace {

// Appends `value`'s lowest digits, as many as `divisor` (10, 100) has places plus one.
void appendDigits(std::string& text, unsigned value, unsigned divisor) {
    for (; divisor > 0; divisor /= 10) {
        text += static_cast<char>('0' + value / divisor % 10);
    }
}

} // namespace

std::string Win32System::localTime() {
    SYSTEMTIME t{};
    GetLocalTime(&t);
    // "2026-12-08 10:00:00.000"
    std::string text(Decimal(t.wYear));
    const std::pair<char, unsigned> fields[] = {{'-', t.wMonth},  {'-', t.wDay},
                                                {' ', t.wHour},   {':', t.wMinute},
                                                {':', t.wSecond}, {'.', t.wMilliseconds}};
    for (const auto& [separator, value] : fields) {
        text += separator;
        appendDigits(text, value, separator == '.' ? 100 : 10);
    }
    return text;
}

std::string Win32System::localTimeStamp() {
    SYSTEMTIME t{};
    GetLocalTime(&t);
    // "20261208-100000"
    std::string text(Decimal(t.wYear));
    for (unsigned value : {t.wMonth, t.wDay}) {
        appendDigits(text, value, 10);
    }
    text += '-';
    for (unsigned value : {t.wHour, t.wMinute, t.wSecond}) {
        appendDigits(text, value, 10);
    }
    return text;
}

std::uint32_t Win32System::processId() {
    return GetCurrentProcessId();
}

bool Win32System::writeToParentConsole(const std::string& text) {
    std::wstring wide = widen(text);
    // Standard output redirected to a file or a pipe takes the text as it is, in UTF-8.
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    if (out != nullptr && out != INVALID_HANDLE_VALUE && GetFileType(out) != FILE_TYPE_CHAR) {
        DWORD written = 0;
        return WriteFile(out, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) !=
               FALSE;
    }
    if (!AttachConsole(ATTACH_PARENT_PROCESS)) {
        return false;
    }
    HANDLE console = CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_WRITE,
                                 nullptr, OPEN_EXISTING, 0, nullptr);
    if (console == INVALID_HANDLE_VALUE) {
        FreeConsole();
        return false;
    }
    UniqueKernelHandle owner(console);
    // The shell's prompt is already on the line the program was started from.
    std::wstring lines = L"\r\n";
    for (wchar_t c : wide) {
        if (c == L'\n') {
            lines += L'\r';
        }
        lines += c;
    }
    DWORD written = 0;
    BOOL ok =
        WriteConsoleW(console, lines.data(), static_cast<DWORD>(lines.size()), &written, nullptr);
    FreeConsole();
    return ok != FALSE;
}

std::string Win32System::randomName() {
    // RtlGenRandom, exported by advapi32 under this name.
    using GenRandom = BOOLEAN(WINAPI*)(PVOID, ULONG);
    auto genRandom =
        lookupFunction<GenRandom>(GetModuleHandleW(L"advapi32.dll"), "SystemFunction036");
    unsigned char bytes[8] = {};
    if (genRandom == nullptr || !genRandom(bytes, sizeof bytes)) {
        return "";
    }
    std::string name;
    for (unsigned char b : bytes) {
        name += "0123456789abcdef"[b >> 4];
        name += "0123456789abcdef"[b & 15];
    }
    return name;
}

bool Win32System::canShowWindows() {
    DWORD session = 0;
    if (ProcessIdToSessionId(GetCurrentProcessId(), &session) && session == 0) {
        return false;
    }
    USEROBJECTFLAGS flags{};
    DWORD size = 0;
    return !GetUserObjectInformationW(GetProcessWindowStation(), UOI_FLAGS, &flags, sizeof flags,
                                      &size) ||
           (flags.dwFlags & WSF_VISIBLE) != 0;
}

void Win32System::guardAgainstRedirection() {
    // Windows 10 and 11 ignore, for this process, the junctions that non-administrators made.
    // Older systems lack the function or the policy; Wine's returns TRUE and does nothing, so
    // its answer says nothing either way.
    // Declared by the headers only for Windows 8 and later targets.
    using SetPolicy = BOOL(WINAPI*)(PROCESS_MITIGATION_POLICY, PVOID, SIZE_T);
    auto setPolicy =
        lookupFunction<SetPolicy>(GetModuleHandleW(L"kernel32.dll"), "SetProcessMitigationPolicy");
    if (setPolicy != nullptr) {
        PROCESS_MITIGATION_REDIRECTION_TRUST_POLICY policy{};
        policy.EnforceRedirectionTrust = 1;
        (void)setPolicy(ProcessRedirectionTrustPolicy, &policy, sizeof policy);
    }
}

} // namespace vexo::win32
