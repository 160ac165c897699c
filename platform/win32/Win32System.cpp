#include "platform/win32/Win32System.h"

#include "platform/win32/UniqueHandle.h"
#include "platform/win32/WideText.h"

#include <windows.h>

#include <shellapi.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <vector>

namespace vexo::win32 {

namespace {

// A text that a system function writes into a caller's buffer, where the function returns
// the length copied, or the size it needs (NUL included) when the buffer is too small.
// `fill(buffer, size)` is the call.
template <class Fill> std::wstring sizedText(Fill fill, DWORD initialSize) {
    std::wstring text(initialSize, L'\0');
    for (int round = 0; round < 8; ++round) {
        DWORD result = fill(text.data(), static_cast<DWORD>(text.size()));
        if (result == 0) {
            return std::wstring();
        }
        if (result < text.size()) {
            text.resize(result);
            return text;
        }
        text.assign(result, L'\0'); // grew since it was measured
    }
    return std::wstring();
}

std::wstring fullPathName(const std::wstring& path) {
    return sizedText(
        [&](LPWSTR buffer, DWORD size) {
            return GetFullPathNameW(path.c_str(), size, buffer, nullptr);
        },
        GetFullPathNameW(path.c_str(), 0, nullptr, nullptr));
}

} // namespace

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

std::optional<bool> Win32System::queryIsWow64() {
    if constexpr (sizeof(void*) == 8) {
        return true; // a 64-bit program runs on 64-bit Windows only
    }
    auto isWow64Process = lookupFunction<decltype(&::IsWow64Process)>(GetModuleHandleW(L"kernel32"),
                                                                      "IsWow64Process");
    if (isWow64Process == nullptr) {
        return std::nullopt;
    }
    BOOL wow64 = FALSE;
    isWow64Process(GetCurrentProcess(), &wow64); // the flag is used as the call left it
    return wow64 != FALSE;
}

std::string Win32System::currentDirectory() {
    return narrow(
        sizedText([](LPWSTR buffer, DWORD size) { return GetCurrentDirectoryW(size, buffer); },
                  GetCurrentDirectoryW(0, nullptr)));
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
        DWORD e = GetLastError();
        return e != 0 ? static_cast<WinError>(e) : static_cast<WinError>(ERROR_GEN_FAILURE);
    }
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
        return "Unknown error " + std::to_string(error) + ".";
    }
    std::wstring_view text(buffer, length);
    while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n' || text.back() == L' ')) {
        text.remove_suffix(1);
    }
    return narrow(text);
}

std::string Win32System::programTitle() {
    // GetModuleFileName returns the buffer's size when it had to cut the name short.
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) {
            return std::string();
        }
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        if (path.size() >= 0x10000) { // longer than any Windows path
            return std::string();
        }
        path.assign(path.size() * 2, L'\0');
    }
    std::wstring_view name(path);
    if (auto slash = name.find_last_of(L"\\/"); slash != std::wstring_view::npos) {
        name.remove_prefix(slash + 1);
    }
    if (auto dot = name.find_last_of(L'.'); dot != std::wstring_view::npos && dot != 0) {
        name = name.substr(0, dot);
    }
    return narrow(name);
}

} // namespace vexo::win32

namespace vexo::win32 {

namespace {

WinError lastErrorOr(DWORD fallback) {
    DWORD e = GetLastError();
    return static_cast<WinError>(e != 0 ? e : fallback);
}

std::uintptr_t toOwned(HANDLE handle) {
    return reinterpret_cast<std::uintptr_t>(handle);
}

HANDLE fromOwned(std::uintptr_t handle) {
    return reinterpret_cast<HANDLE>(handle);
}

std::string twoDigits(unsigned value) {
    return std::string(1, static_cast<char>('0' + value / 10 % 10)) +
           static_cast<char>('0' + value % 10);
}

struct KernelHandleTraits {
    using Handle = HANDLE;
    static Handle empty() { return nullptr; }
    static void close(Handle h) { CloseHandle(h); }
    static void notOpen() {}
};
using UniqueKernelHandle = UniqueHandle<KernelHandleTraits>;

// The user of the process's token, as a SID in `buffer`; null when it cannot be read.
PSID tokenUser(std::vector<std::byte>& buffer) {
    HANDLE raw = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &raw)) {
        return nullptr;
    }
    UniqueKernelHandle token(raw);
    DWORD size = 0;
    GetTokenInformation(token.get(), TokenUser, nullptr, 0, &size);
    if (size == 0) {
        return nullptr;
    }
    buffer.assign(size, std::byte{0});
    if (!GetTokenInformation(token.get(), TokenUser, buffer.data(), size, &size)) {
        return nullptr;
    }
    TOKEN_USER user{};
    std::memcpy(&user, buffer.data(), sizeof(user));
    return user.User.Sid;
}

} // namespace

WinError Win32System::openLog(const std::string& path, bool createNew, SystemHandle& file,
                              std::string& refusal) {
    auto wide = tryWiden(path);
    if (!wide) {
        return ERROR_NO_UNICODE_TRANSLATION;
    }
    // FILE_APPEND_DATA without FILE_WRITE_DATA: every write goes to the end of the file.
    HANDLE raw = CreateFileW(longPathForm(*wide).c_str(), FILE_APPEND_DATA | SYNCHRONIZE,
                             FILE_SHARE_READ, nullptr, createNew ? CREATE_NEW : OPEN_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (raw == INVALID_HANDLE_VALUE) {
        return lastErrorOr(ERROR_GEN_FAILURE);
    }
    UniqueKernelHandle handle(raw);
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(handle.get(), &info)) {
        refusal = "what it is cannot be read";
        return lastErrorOr(ERROR_GEN_FAILURE);
    }
    if ((info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        refusal = "it is a link or another reparse point";
        return err::AccessDenied;
    }
    if ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        refusal = "it is a folder";
        return err::AccessDenied;
    }
    if (info.nNumberOfLinks > 1) {
        refusal = "the file has " + std::to_string(info.nNumberOfLinks) + " hard links";
        return err::AccessDenied;
    }
    file = SystemHandle(toOwned(handle.release()), ClosedByOwner<System>{this});
    return err::Success;
}

WinError Win32System::appendLog(const SystemHandle& file, const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1 << 20));
        DWORD written = 0;
        if (!WriteFile(fromOwned(file.get()), bytes.data() + done, chunk, &written, nullptr)) {
            return lastErrorOr(ERROR_WRITE_FAULT);
        }
        if (written == 0) {
            return ERROR_WRITE_FAULT;
        }
        done += written;
    }
    return err::Success;
}

WinError Win32System::takeNamedMutex(const std::string& name, SystemHandle& lock) {
    HANDLE raw = CreateMutexW(nullptr, FALSE, widen(name).c_str());
    if (raw == nullptr) {
        // A mutex that exists under rights this process lacks is held by someone else.
        DWORD e = GetLastError();
        return e == ERROR_ACCESS_DENIED ? err::WaitTimeout : lastErrorOr(ERROR_GEN_FAILURE);
    }
    UniqueKernelHandle handle(raw);
    DWORD wait = WaitForSingleObject(handle.get(), 0);
    if (wait == WAIT_TIMEOUT) {
        return err::WaitTimeout;
    }
    if (wait != WAIT_OBJECT_0 && wait != WAIT_ABANDONED) {
        return lastErrorOr(ERROR_GEN_FAILURE);
    }
    mutexes_.insert(toOwned(handle.get()));
    lock = SystemHandle(toOwned(handle.release()), ClosedByOwner<System>{this});
    return err::Success;
}

WinError Win32System::closeHandle(std::uintptr_t handle) {
    if (mutexes_.erase(handle) != 0) {
        ReleaseMutex(fromOwned(handle));
    }
    return CloseHandle(fromOwned(handle)) ? err::Success : lastErrorOr(ERROR_INVALID_HANDLE);
}

std::string Win32System::accountName() {
    std::vector<std::byte> buffer;
    PSID sid = tokenUser(buffer);
    if (sid == nullptr) {
        return "(unknown account)";
    }
    DWORD nameSize = 0, domainSize = 0;
    SID_NAME_USE use{};
    LookupAccountSidW(nullptr, sid, nullptr, &nameSize, nullptr, &domainSize, &use);
    if (nameSize == 0) {
        return "(unknown account)";
    }
    std::wstring name(nameSize, L'\0'), domain(domainSize + 1, L'\0');
    if (!LookupAccountSidW(nullptr, sid, name.data(), &nameSize, domain.data(), &domainSize,
                           &use)) {
        return "(unknown account)";
    }
    name.resize(nameSize);
    domain.resize(domainSize);
    return domain.empty() ? narrow(name) : narrow(domain) + "\\" + narrow(name);
}

bool Win32System::runsAsLocalSystem() {
    std::vector<std::byte> buffer;
    PSID sid = tokenUser(buffer);
    return sid != nullptr && IsWellKnownSid(sid, WinLocalSystemSid);
}

std::string Win32System::localTime() {
    SYSTEMTIME t{};
    GetLocalTime(&t);
    std::string ms = std::to_string(t.wMilliseconds);
    return std::to_string(t.wYear) + "-" + twoDigits(t.wMonth) + "-" + twoDigits(t.wDay) + " " +
           twoDigits(t.wHour) + ":" + twoDigits(t.wMinute) + ":" + twoDigits(t.wSecond) + "." +
           std::string(3 - ms.size(), '0') + ms;
}

std::string Win32System::localTimeStamp() {
    SYSTEMTIME t{};
    GetLocalTime(&t);
    return std::to_string(t.wYear) + twoDigits(t.wMonth) + twoDigits(t.wDay) + "-" +
           twoDigits(t.wHour) + twoDigits(t.wMinute) + twoDigits(t.wSecond);
}

std::string Win32System::tempFolder() {
    std::wstring folder =
        sizedText([](LPWSTR buffer, DWORD size) { return GetTempPathW(size, buffer); },
                  GetTempPathW(0, nullptr));
    while (folder.size() > 3 && folder.back() == L'\\') {
        folder.pop_back();
    }
    return narrow(folder);
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

} // namespace vexo::win32
