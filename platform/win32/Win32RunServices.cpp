// What a command-line run needs of the system beside the installation and its log: the
// account it runs as, the local time, the temporary folder, the console it was started
// from, whether anyone can see its windows, and random names.
#include "platform/win32/Win32System.h"

#include "platform/Text.h"
#include "platform/win32/UniqueHandle.h"
#include "platform/win32/WideText.h"
#include "platform/win32/Win32Account.h"

#include <windows.h>

#include <aclapi.h>
#include <sddl.h>

#include <cstddef>
#include <cstring>
#include <utility>
#include <vector>

namespace vexo::win32 {

namespace {

// Appends `value`'s lowest digits, as many as `divisor` (10, 100) has places plus one.
void appendDigits(std::string& text, unsigned value, unsigned divisor) {
    for (; divisor > 0; divisor /= 10) {
        text += static_cast<char>('0' + value / divisor % 10);
    }
}

} // namespace

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

bool tokenElevated() {
    HANDLE raw = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &raw)) {
        return true;
    }
    UniqueKernelHandle token(raw);
    TOKEN_ELEVATION elevation{};
    DWORD size = 0;
    if (!GetTokenInformation(token.get(), TokenElevation, &elevation, sizeof elevation, &size)) {
        return true;
    }
    return elevation.TokenIsElevated != 0;
}

bool isTrustedOwner(PSID sid) {
    if (sid == nullptr || !IsValidSid(sid)) {
        return false;
    }
    if (IsWellKnownSid(sid, WinBuiltinAdministratorsSid) ||
        IsWellKnownSid(sid, WinLocalSystemSid)) {
        return true;
    }
    std::vector<std::byte> buffer;
    PSID user = tokenUser(buffer);
    return user != nullptr && EqualSid(sid, user);
}

std::string untrustedOwner(HANDLE object, SE_OBJECT_TYPE type) {
    PSID owner = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetSecurityInfo(object, type, OWNER_SECURITY_INFORMATION, &owner, nullptr, nullptr, nullptr,
                        &descriptor) != ERROR_SUCCESS) {
        return "its owner cannot be read";
    }
    UniqueLocalMemory held(descriptor);
    if (owner == nullptr) {
        return "it has no owner";
    }
    return isTrustedOwner(owner) ? "" : "its owner is " + accountOf(owner);
}

std::string accountOf(PSID sid) {
    DWORD nameSize = 0, domainSize = 0;
    SID_NAME_USE use{};
    LookupAccountSidW(nullptr, sid, nullptr, &nameSize, nullptr, &domainSize, &use);
    if (nameSize != 0) {
        std::wstring name(nameSize, L'\0'), domain(domainSize + 1, L'\0');
        if (LookupAccountSidW(nullptr, sid, name.data(), &nameSize, domain.data(), &domainSize,
                              &use)) {
            name.resize(nameSize);
            domain.resize(domainSize);
            return domain.empty() ? narrow(name) : narrow(domain) + "\\" + narrow(name);
        }
    }
    const std::string text = sidText(sid);
    return text.empty() ? "(an unknown account)" : text;
}

std::string sidText(PSID sid) {
    LPWSTR text = nullptr;
    if (sid == nullptr || !IsValidSid(sid) || !ConvertSidToStringSidW(sid, &text)) {
        return std::string();
    }
    UniqueLocalMemory owned(text);
    return narrow(text);
}

WinError Win32System::closeHandle(std::uintptr_t handle) {
    auto mutex = mutexes_.find(handle);
    if (mutex == mutexes_.end()) {
        return CloseHandle(fromOwned(handle)) ? err::Success : lastErrorOr(ERROR_INVALID_HANDLE);
    }
    const std::uintptr_t privateNamespace = mutex->second;
    mutexes_.erase(mutex);
    ReleaseMutex(fromOwned(handle));
    WinError e = CloseHandle(fromOwned(handle)) ? err::Success : lastErrorOr(ERROR_INVALID_HANDLE);
    if (privateNamespace != 0) {
        auto closeNamespace = lookupFunction<decltype(&::ClosePrivateNamespace)>(
            GetModuleHandleW(L"kernel32.dll"), "ClosePrivateNamespace");
        if (closeNamespace != nullptr) {
            closeNamespace(fromOwned(privateNamespace), 0);
        }
    }
    return e;
}

std::string Win32System::accountName() {
    std::vector<std::byte> buffer;
    PSID sid = tokenUser(buffer);
    return sid == nullptr ? "(unknown account)" : accountOf(sid);
}

bool Win32System::runsAsLocalSystem() {
    std::vector<std::byte> buffer;
    PSID sid = tokenUser(buffer);
    return sid != nullptr && IsWellKnownSid(sid, WinLocalSystemSid);
}

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
