// A planted winspool.drv: a stand-in that an attacker could put into a download folder next
// to the installer. Loading it is all it takes to run its code, so on attach it records the
// loading program in "planted-winspool-loaded.txt" beside itself (one path a line). Its
// functions fail with ERROR_NOT_SUPPORTED: a program that ends up calling them cannot do
// its work either.
#include <windows.h>

#include <winspool.h>

#include <string>

namespace {

// The full path of a module (null: the program), however long it is.
std::wstring modulePath(HMODULE module) {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        DWORD n = GetModuleFileNameW(module, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0) {
            return std::wstring();
        }
        if (n < path.size()) {
            path.resize(n);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

void recordLoad(HMODULE self) {
    std::wstring marker = modulePath(self);
    std::size_t slash = marker.find_last_of(L"\\/");
    if (slash == std::wstring::npos) {
        return;
    }
    marker.resize(slash + 1);
    marker += L"planted-winspool-loaded.txt";
    std::wstring program = modulePath(nullptr) + L"\r\n";
    int size = WideCharToMultiByte(CP_UTF8, 0, program.data(), static_cast<int>(program.size()),
                                   nullptr, 0, nullptr, nullptr);
    std::string line(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, program.data(), static_cast<int>(program.size()), line.data(),
                        size, nullptr, nullptr);
    HANDLE file = CreateFileW(marker.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return;
    }
    DWORD written = 0;
    WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    CloseHandle(file);
}

BOOL unsupported() {
    SetLastError(ERROR_NOT_SUPPORTED);
    return FALSE;
}

} // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        DisableThreadLibraryCalls(self);
        recordLoad(self);
    }
    return TRUE;
}

// The functions a printer installer imports or looks up, with the system's signatures.
extern "C" {

WINBOOL WINAPI GetDefaultPrinterW(LPWSTR, LPDWORD) {
    return unsupported();
}
WINBOOL WINAPI EnumPortsW(LPWSTR, DWORD, LPBYTE, DWORD, LPDWORD needed, LPDWORD returned) {
    *needed = 0;
    *returned = 0;
    return unsupported();
}
WINBOOL WINAPI EnumMonitorsW(LPWSTR, DWORD, LPBYTE, DWORD, LPDWORD needed, LPDWORD returned) {
    *needed = 0;
    *returned = 0;
    return unsupported();
}
WINBOOL WINAPI EnumPrintersW(DWORD, LPWSTR, DWORD, LPBYTE, DWORD, LPDWORD needed,
                             LPDWORD returned) {
    *needed = 0;
    *returned = 0;
    return unsupported();
}
WINBOOL WINAPI GetPrinterDriverDirectoryW(LPWSTR, LPWSTR, DWORD, LPBYTE, DWORD, LPDWORD needed) {
    *needed = 0;
    return unsupported();
}
WINBOOL WINAPI AddPrinterDriverW(LPWSTR, DWORD, LPBYTE) {
    return unsupported();
}
HANDLE WINAPI AddPrinterW(LPWSTR, DWORD, LPBYTE) {
    SetLastError(ERROR_NOT_SUPPORTED);
    return nullptr;
}
WINBOOL WINAPI ClosePrinter(HANDLE) {
    return unsupported();
}
WINBOOL WINAPI AddPortW(LPWSTR, HWND, LPWSTR) {
    return unsupported();
}
WINBOOL WINAPI ConfigurePortW(LPWSTR, HWND, LPWSTR) {
    return unsupported();
}

} // extern "C"
