// The file system: the package's folders, copies into the spooler's driver directory, and
// the log files of a command-line run. Deployment tools run the program as LocalSystem, so
// its log may be named in a folder every user can write to (C:\ProgramData,
// C:\Windows\Temp): a log's folder is opened first and its final path reported, the file is
// then opened in that very folder, by a handle no renaming can move, without following a
// link at its end and without letting a pipe's server act as this program, and what was
// opened is reported before anything is written.
#include "platform/win32/Win32System.h"

#include "platform/Text.h"
#include "platform/win32/UniqueHandle.h"
#include "platform/win32/WideText.h"
#include "platform/win32/Win32Account.h"

#include <windows.h>

#include <winternl.h>

#include <algorithm>
#include <cstring>
#include <string_view>
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

std::string Win32System::tempFolder() {
    std::wstring folder =
        sizedText([](LPWSTR buffer, DWORD size) { return GetTempPathW(size, buffer); },
                  GetTempPathW(0, nullptr));
    while (folder.size() > 3 && folder.back() == L'\\') {
        folder.pop_back();
    }
    return narrow(folder);
}

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

// Opens `name` in the folder `folder` (NtCreateFile relative to its handle) for appending.
WinError openInFolder(HANDLE folder, const std::wstring& name, bool createNew, HANDLE& file,
                      OpenedFileFacts& facts) {
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
        facts.folder = true;
        return err::AccessDenied;
    }
    return result >= 0 ? err::Success : static_cast<WinError>(toWin32(result));
}

} // namespace

std::string Win32System::fullPath(const std::string& path) {
    auto wide = tryWiden(path);
    return wide ? narrow(fullPathName(*wide)) : std::string();
}

WinError Win32System::openFolder(const std::string& folder, OpenFolder& opened, std::string& asked,
                                 std::string& reached) {
    auto wide = tryWiden(folder);
    if (!wide) {
        return ERROR_NO_UNICODE_TRANSLATION;
    }
    HANDLE raw = CreateFileW(longPathForm(*wide).c_str(), FILE_TRAVERSE | FILE_READ_ATTRIBUTES,
                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                             OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (raw == INVALID_HANDLE_VALUE) {
        return lastErrorOr(ERROR_PATH_NOT_FOUND);
    }
    UniqueKernelHandle handle(raw);
    reached = narrow(comparable(sizedText(
        [&](LPWSTR buffer, DWORD size) {
            return GetFinalPathNameByHandleW(handle.get(), buffer, size,
                                             FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
        },
        MAX_PATH)));
    asked = narrow(longNames(*wide));
    opened = OpenFolder(toOwned(handle.release()), {{this}});
    return err::Success;
}

WinError Win32System::openFileIn(const OpenFolder& folder, const std::string& name, bool createNew,
                                 LogFile& file, OpenedFileFacts& facts) {
    auto wide = tryWiden(name);
    if (!wide) {
        return ERROR_NO_UNICODE_TRANSLATION;
    }
    HANDLE raw = nullptr;
    if (WinError e = openInFolder(fromOwned(folder.get()), *wide, createNew, raw, facts);
        e != err::Success) {
        return e;
    }
    UniqueKernelHandle handle(raw);
    facts.diskFile = GetFileType(handle.get()) == FILE_TYPE_DISK;
    BY_HANDLE_FILE_INFORMATION info{};
    facts.readable = GetFileInformationByHandle(handle.get(), &info) != FALSE;
    if (facts.readable) {
        facts.reparse = (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
        facts.folder = (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        facts.links = info.nNumberOfLinks;
    }
    facts.owner = ownerOf(handle.get(), SE_FILE_OBJECT);
    file = LogFile(toOwned(handle.release()), {{this}});
    return err::Success;
}

WinError Win32System::appendLog(const LogFile& file, const std::string& bytes) {
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

WinError Win32System::closeFile(std::uintptr_t handle) {
    return CloseHandle(fromOwned(handle)) ? err::Success : lastErrorOr(ERROR_INVALID_HANDLE);
}

} // namespace vexo::win32
