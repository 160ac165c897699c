// What a command-line run needs of the system beside the installation: its log file, the
// installation lock, the account it runs as, the local time, the temporary folder and the
// console it was started from.
#include "platform/win32/Win32System.h"

#include "platform/win32/UniqueHandle.h"
#include "platform/win32/WideText.h"

#include <windows.h>

#include <cstddef>
#include <cstring>
#include <vector>

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
