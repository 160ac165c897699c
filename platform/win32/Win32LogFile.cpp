// The log file of a command-line run. Deployment tools run the program as LocalSystem, so
// its log may be named in a folder every user can write to (C:\ProgramData, C:\Windows\Temp):
// nothing a user prepares there may make it write elsewhere. The folder is opened first and
// must be where the path says (a link, junction or mount point on the way leads elsewhere);
// the file is then opened in that very folder, by a handle no renaming can move, without
// following a link at its end and without letting a pipe's server act as this program.
#include "platform/win32/Win32System.h"

#include "platform/Text.h"
#include "platform/win32/UniqueHandle.h"
#include "platform/win32/WideText.h"
#include "platform/win32/Win32Account.h"

#include <windows.h>

#include <winternl.h>

#include <algorithm>
#include <string_view>

namespace vexo::win32 {

namespace {

constexpr NTSTATUS kStatusObjectNameCollision = static_cast<NTSTATUS>(0xC0000035);
constexpr NTSTATUS kStatusFileIsADirectory = static_cast<NTSTATUS>(0xC00000BA);

// "\\?\C:\x" and "\\?\UNC\server\share\x" as "C:\x" and "\\server\share\x".
std::wstring withoutLongPrefix(std::wstring path) {
    if (path.starts_with(L"\\\\?\\UNC\\")) {
        return L"\\" + path.substr(7);
    }
    return path.starts_with(L"\\\\?\\") ? path.substr(4) : path;
}

// A folder's path as the two sides are compared: without the "\\?\" forms and without a
// trailing backslash but a drive root's.
std::wstring comparable(std::wstring folder) {
    folder = withoutLongPrefix(std::move(folder));
    while (folder.size() > 3 && folder.back() == L'\\') {
        folder.pop_back();
    }
    return folder;
}

// The path asked for, with the long names of its short ones, as the final path has them.
std::wstring longNames(const std::wstring& folder) {
    std::wstring longName = sizedText(
        [&](LPWSTR buffer, DWORD size) { return GetLongPathNameW(folder.c_str(), buffer, size); },
        GetLongPathNameW(folder.c_str(), nullptr, 0));
    return comparable(longName.empty() ? folder : longName);
}

bool sameText(const std::wstring& a, const std::wstring& b) {
    return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(),
                                static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

// Opens `name` in the folder `folder` (NtCreateFile relative to its handle) for appending.
WinError openInFolder(HANDLE folder, const std::wstring& name, bool createNew, HANDLE& file,
                      std::string& refusal) {
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    auto create = lookupFunction<decltype(&::NtCreateFile)>(ntdll, "NtCreateFile");
    auto toWin32 =
        lookupFunction<decltype(&::RtlNtStatusToDosError)>(ntdll, "RtlNtStatusToDosError");
    if (create == nullptr || toWin32 == nullptr) {
        return ERROR_PROC_NOT_FOUND;
    }
    UNICODE_STRING objectName{};
    objectName.Buffer = const_cast<PWSTR>(name.c_str());
    objectName.Length = static_cast<USHORT>(name.size() * sizeof(wchar_t));
    objectName.MaximumLength = objectName.Length;
    // A pipe's server may learn who connects, never act as this program (SYSTEM).
    SECURITY_QUALITY_OF_SERVICE quality{sizeof quality, SecurityIdentification,
                                        SECURITY_STATIC_TRACKING, FALSE};
    OBJECT_ATTRIBUTES attributes{};
    attributes.Length = sizeof attributes;
    attributes.RootDirectory = folder;
    attributes.ObjectName = &objectName;
    attributes.Attributes = OBJ_CASE_INSENSITIVE;
    attributes.SecurityQualityOfService = &quality;
    IO_STATUS_BLOCK status{};
    // FILE_APPEND_DATA without FILE_WRITE_DATA: every write goes to the end of the file, one
    // line at a time, so two runs may share the file.
    NTSTATUS result =
        create(&file, FILE_APPEND_DATA | FILE_READ_ATTRIBUTES | READ_CONTROL | SYNCHRONIZE,
               &attributes, &status, nullptr, FILE_ATTRIBUTE_NORMAL,
               FILE_SHARE_READ | FILE_SHARE_WRITE, createNew ? FILE_CREATE : FILE_OPEN_IF,
               FILE_NON_DIRECTORY_FILE | FILE_SYNCHRONOUS_IO_NONALERT | FILE_OPEN_REPARSE_POINT,
               nullptr, 0);
    if (result == kStatusObjectNameCollision) {
        return err::FileExists;
    }
    if (result == kStatusFileIsADirectory) {
        refusal = "it is a folder";
        return err::AccessDenied;
    }
    return result >= 0 ? err::Success : static_cast<WinError>(toWin32(result));
}

// Why the opened file must not be written; empty when it may.
std::string refusalOf(HANDLE file) {
    if (GetFileType(file) != FILE_TYPE_DISK) {
        return "it is not a file on a disk";
    }
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(file, &info)) {
        return "what it is cannot be read";
    }
    if ((info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        return "it is a link or another reparse point";
    }
    if ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return "it is a folder";
    }
    if (info.nNumberOfLinks > 1) {
        return cat({"the file has ", Decimal(info.nNumberOfLinks), " hard links"});
    }
    // Run elevated, the program writes only into a file that no other user could have made
    // and handed to it.
    if (std::string owner;
        tokenElevated() && !(owner = untrustedOwner(file, SE_FILE_OBJECT)).empty()) {
        return owner + ", not the Administrators, SYSTEM or the account of this run";
    }
    return "";
}

} // namespace

WinError Win32System::openLog(const std::string& path, bool createNew, SystemHandle& file,
                              std::string& refusal) {
    auto wide = tryWiden(path);
    if (!wide) {
        return ERROR_NO_UNICODE_TRANSLATION;
    }
    const std::wstring full = fullPathName(*wide);
    const std::size_t slash = full.find_last_of(L'\\');
    if (full.empty() || slash == std::wstring::npos) {
        return lastErrorOr(ERROR_INVALID_NAME);
    }
    const std::wstring name = full.substr(slash + 1);
    std::wstring folder = full.substr(0, slash);
    if (folder.size() == 2 && folder[1] == L':') {
        folder += L'\\';
    }
    // A drive ("C:\") or a share ("\\server\share\"), nothing in the device namespace.
    const std::wstring plain = withoutLongPrefix(folder);
    const bool onDisk = (plain.size() >= 3 && plain[1] == L':' && plain[2] == L'\\') ||
                        (plain.starts_with(L"\\\\") && !plain.starts_with(L"\\\\.\\") &&
                         !plain.starts_with(L"\\\\?\\"));
    if (!onDisk || name.empty() || name.find(L':') != std::wstring::npos) {
        refusal = "it is not a file in a folder of a disk or a share";
        return err::AccessDenied;
    }

    HANDLE raw = CreateFileW(longPathForm(folder).c_str(), FILE_TRAVERSE | FILE_READ_ATTRIBUTES,
                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                             OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (raw == INVALID_HANDLE_VALUE) {
        return lastErrorOr(ERROR_PATH_NOT_FOUND);
    }
    UniqueKernelHandle opened(raw);
    const std::wstring reached = comparable(sizedText(
        [&](LPWSTR buffer, DWORD size) {
            return GetFinalPathNameByHandleW(opened.get(), buffer, size,
                                             FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
        },
        MAX_PATH));
    const std::wstring asked = longNames(folder);
    if (reached.empty() || !sameText(reached, asked)) {
        refusal = "the folder \"" + narrow(asked) + "\" leads to " +
                  (reached.empty() ? std::string("a place that cannot be named")
                                   : "\"" + narrow(reached) + "\"") +
                  " (a link, junction or mount point on the way)";
        return err::AccessDenied;
    }

    HANDLE log = nullptr;
    if (WinError e = openInFolder(opened.get(), name, createNew, log, refusal); e != err::Success) {
        return e;
    }
    UniqueKernelHandle handle(log);
    refusal = refusalOf(handle.get());
    if (!refusal.empty()) {
        return err::AccessDenied;
    }
    file = SystemHandle(toOwned(handle.release()), ClosedByOwner<System>{this});
    return err::Success;
}

WinError Win32System::appendLog(const SystemHandle& file, const std::string& bytes) {
    // One write for all of it (a line, or the lines of one entry), so that another run's
    // lines in the same file never fall in between.
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

} // namespace vexo::win32
