// The spooler, file and registry calls of one typical installation of the K20A (the first
// model, made the default printer), in the installer's order, with no user interface. The
// benchmark script times this program against the installer making the same installation, in
// one of two forms.
//
// As the wizard makes them (no argument, or a time file): first what the pages do before the
// "&Install" click (the version query and port discovery, the serial device map and the
// spooler's ports, when the port page opens); then what the click does: the installation
// mutex, the protected print policy read, port discovery again (the automatic port choice
// makes its own), the x86/x64 decision (IsWow64Process, looked up in kernel32 at run time),
// the binding of the printer to each USB port with the version query, the printer
// enumeration and the read-back of its on-line mark, then the deployment for that
// architecture on the first USB port (driver directory, the eight copies, driver and printer
// registration, the LocalSystem check, the default printer, closing the printer). Given a
// file name, it writes to it the seconds that the calls after the click took, timed inside
// the process.
//
// As the quiet command line with a named port makes them ("/quiet PORT LOG-FILE", the
// counterpart of "VexoSetup.exe /quiet /model K20A /port PORT /log LOG-FILE"): the log
// opened as the installer opens it; the version, IsWow64Process and account lookups whose
// answers head the log; the spooler's ports listed to find the named one; the installation
// mutex, the protected print policy read, the x86/x64 decision and the deployment on that
// port, then the deployment's half-second pause at the point where the installer makes it.
// No discovery and no USB binding: the quiet run makes neither for a named port. The log is
// written as the installer writes it, one line with its local time per write, a line for each
// line the installer writes: the command line asked for the log, so writing it is part of the
// job and not the installer's own cost. What the installer makes beyond this (the DLL search
// restriction, the common controls, the command line's parsing, its own code) is what the
// benchmark's ratio measures. The benchmark script times this form as a whole process.
//
// Run from the driver package folder. The exit code is the number of installation calls that
// failed (0: the driver, the printer and the default printer are in place), or 87 for a
// command line of another form.
//
// Built by the windows presets as build/windows-x86/bench/InstallCalls.exe and
// build/windows-x64/bench/InstallCalls.exe (bench/CMakeLists.txt).
//   InstallCalls.exe [TIME-FILE]
//   InstallCalls.exe /quiet PORT LOG-FILE
#include <windows.h>

#include <shellapi.h>
#include <winspool.h>

#include <cstdio>
#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

namespace {

const std::wstring kPrinter = L"K20A";
const std::wstring kPrintersKey =
    L"Software\\Microsoft\\Windows NT\\CurrentVersion\\Print\\Printers\\";
const std::wstring kControlSet001Key = L"SYSTEM\\ControlSet001\\Control\\Print\\Printers\\";
const std::wstring kCurrentControlSetKey = L"SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\";
const std::wstring kOnLineKey = L"SYSTEM\\CurrentControlSet\\Hardware Profiles\\Current\\System\\"
                                L"CurrentControlSet\\Control\\Print\\Printers\\";
const std::wstring kWindowsKey = L"Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows";
const wchar_t* const kProtectedPrintKey =
    L"SOFTWARE\\Policies\\Microsoft\\Windows NT\\Printers\\WPP";
const wchar_t* const kProtectedPrintValue = L"WindowsProtectedPrintGroupPolicyState";
const wchar_t* const kInstallMutex = L"Global\\VexoSetupInstall";

int failures = 0;

// The driver's environment and the package folder it is copied from.
struct Variant {
    const wchar_t* environment;
    const wchar_t* source;
};
const Variant kX86{L"Windows NT x86", L"Printer Driver\\x86\\"};
const Variant kX64{L"Windows x64", L"Printer Driver\\x64\\"};

void check(bool ok) {
    if (!ok) {
        ++failures;
    }
}

std::string utf8(const std::wstring& text) {
    const int length = static_cast<int>(text.size());
    int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
    if (size <= 0) {
        return {};
    }
    std::string out(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), length, out.data(), size, nullptr, nullptr);
    return out;
}

// The quiet form's log, opened and written as the installer does it: appended to, never
// through a link, one write a line, each line with its local time. Without a log open, the
// lines go nowhere.
class Log {
  public:
    bool open(const std::wstring& path) {
        file_ =
            CreateFileW(path.c_str(), FILE_APPEND_DATA | SYNCHRONIZE, FILE_SHARE_READ, nullptr,
                        OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
        if (file_ == INVALID_HANDLE_VALUE) {
            return false;
        }
        BY_HANDLE_FILE_INFORMATION info{};
        if (!GetFileInformationByHandle(file_, &info) ||
            (info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) !=
                0 ||
            info.nNumberOfLinks > 1) {
            close();
            return false;
        }
        return true;
    }

    void line(const std::wstring& text) {
        if (file_ == INVALID_HANDLE_VALUE) {
            return;
        }
        SYSTEMTIME t{};
        GetLocalTime(&t);
        char stamp[32];
        std::snprintf(stamp, sizeof stamp, "%04u-%02u-%02u %02u:%02u:%02u.%03u  ", t.wYear,
                      t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond, t.wMilliseconds);
        const std::string bytes = stamp + utf8(text) + "\r\n";
        DWORD written = 0;
        if (!WriteFile(file_, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr)) {
            ++failures;
        }
    }

    void close() {
        if (file_ != INVALID_HANDLE_VALUE) {
            CloseHandle(file_);
            file_ = INVALID_HANDLE_VALUE;
        }
    }

  private:
    HANDLE file_ = INVALID_HANDLE_VALUE;
};

Log runLog;

// A step of the deployment: counted when it failed, and a line in the log either way.
void step(bool ok, const std::wstring& what) {
    check(ok);
    runLog.line(what + (ok ? L": done" : L": failed"));
}

// A text value with its terminating NUL.
LONG setText(HKEY key, const wchar_t* name, const std::wstring& text) {
    return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                          static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

// The two-call enumeration: the size, then the records.
template <typename Call> std::vector<BYTE> enumerate(Call call, DWORD& count) {
    std::vector<BYTE> buffer;
    DWORD needed = 0;
    count = 0;
    for (int round = 0; round < 8; ++round) {
        if (call(buffer.empty() ? nullptr : buffer.data(), static_cast<DWORD>(buffer.size()),
                 &needed, &count)) {
            return buffer;
        }
        if (GetLastError() != ERROR_INSUFFICIENT_BUFFER) {
            break;
        }
        buffer.resize(needed);
    }
    count = 0;
    return buffer;
}

OSVERSIONINFOEXW versionQuery() {
    OSVERSIONINFOEXW info{};
    info.dwOSVersionInfoSize = sizeof info;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&info));
#pragma GCC diagnostic pop
    return info;
}

bool isWow64() {
    if constexpr (sizeof(void*) == 8) {
        return true; // a 64-bit program runs on 64-bit Windows only
    }
    using IsWow64ProcessCall = decltype(&::IsWow64Process);
    IsWow64ProcessCall isWow64Process = nullptr;
    if (HMODULE kernel32 = GetModuleHandleW(L"kernel32"); kernel32 != nullptr) {
        // Through void (*)(), which converts to and from every function pointer type without
        // a cast warning.
        isWow64Process = reinterpret_cast<IsWow64ProcessCall>(
            reinterpret_cast<void (*)()>(GetProcAddress(kernel32, "IsWow64Process")));
    }
    BOOL wow64 = FALSE;
    return isWow64Process != nullptr && isWow64Process(GetCurrentProcess(), &wow64) && wow64;
}

// The installer's decision: a 32-bit program on 64-bit Windows installs the x64 driver,
// anywhere else the x86 one, and a kernel32 without IsWow64Process, or a call of it that
// fails, means 32-bit Windows.
const Variant& architecture() {
    return isWow64() ? kX64 : kX86;
}

// The process's account (its SID, in the buffer); null when the token cannot be read.
PSID tokenUser(std::vector<BYTE>& buffer) {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) {
        return nullptr;
    }
    DWORD size = 0;
    GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    buffer.assign(size, 0);
    const bool read =
        size != 0 && GetTokenInformation(token, TokenUser, buffer.data(), size, &size) != 0;
    CloseHandle(token);
    if (!read) {
        return nullptr;
    }
    TOKEN_USER user{};
    std::memcpy(&user, buffer.data(), sizeof user);
    return user.User.Sid;
}

std::wstring accountName() {
    std::vector<BYTE> buffer;
    PSID sid = tokenUser(buffer);
    if (sid == nullptr) {
        return L"(unknown account)";
    }
    DWORD nameSize = 0, domainSize = 0;
    SID_NAME_USE use{};
    LookupAccountSidW(nullptr, sid, nullptr, &nameSize, nullptr, &domainSize, &use);
    std::wstring name(nameSize + 1, L'\0'), domain(domainSize + 1, L'\0');
    if (nameSize == 0 || !LookupAccountSidW(nullptr, sid, name.data(), &nameSize, domain.data(),
                                            &domainSize, &use)) {
        return L"(unknown account)";
    }
    name.resize(nameSize);
    domain.resize(domainSize);
    return domain.empty() ? name : domain + L"\\" + name;
}

bool runsAsLocalSystem() {
    std::vector<BYTE> buffer;
    PSID sid = tokenUser(buffer);
    return sid != nullptr && IsWellKnownSid(sid, WinLocalSystemSid);
}

// The log's header: the command line, the program, Windows and the account.
void logHeader() {
    runLog.line(std::wstring(L"Command line: ") + GetCommandLineW());
    runLog.line(L"InstallCalls, a " + std::to_wstring(sizeof(void*) * 8) + L"-bit program");
    OSVERSIONINFOEXW v = versionQuery();
    runLog.line(L"Windows " + std::to_wstring(v.dwMajorVersion) + L"." +
                std::to_wstring(v.dwMinorVersion) + L" build " + std::to_wstring(v.dwBuildNumber) +
                (isWow64() ? L", 64-bit" : L", 32-bit"));
    runLog.line(L"Account: " + accountName() +
                (runsAsLocalSystem() ? L" (the LocalSystem account)" : L""));
}

std::vector<std::wstring> serialDeviceMap() {
    std::vector<std::wstring> ports;
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ, &key) !=
        ERROR_SUCCESS) {
        return ports;
    }
    for (DWORD index = 0;; ++index) {
        std::vector<wchar_t> name(256), data(256);
        DWORD nameLength = static_cast<DWORD>(name.size());
        DWORD dataBytes = static_cast<DWORD>(data.size() * sizeof(wchar_t));
        DWORD type = 0;
        LONG e = RegEnumValueW(key, index, name.data(), &nameLength, nullptr, &type,
                               reinterpret_cast<BYTE*>(data.data()), &dataBytes);
        if (e == ERROR_NO_MORE_ITEMS) {
            break;
        }
        if (e == ERROR_SUCCESS && type == REG_SZ) {
            ports.push_back(std::wstring(data.data()) + L":");
        }
    }
    RegCloseKey(key);
    return ports;
}

// The spooler's ports by name, as many as the installer lists.
std::vector<std::wstring> spoolerPorts() {
    DWORD count = 0;
    std::vector<BYTE> records = enumerate(
        [](LPBYTE data, DWORD size, LPDWORD needed, LPDWORD returned) {
            return EnumPortsW(nullptr, 2, data, size, needed, returned);
        },
        count);
    std::vector<std::wstring> names;
    const auto* ports = reinterpret_cast<const PORT_INFO_2W*>(records.data());
    for (DWORD i = 0; i < count && i < 256; ++i) {
        names.push_back(ports[i].pPortName != nullptr ? ports[i].pPortName : L"");
    }
    return names;
}

// Port discovery: the serial device map and the spooler's ports; the USB ones are returned.
std::vector<std::wstring> discoverUsbPorts() {
    serialDeviceMap();
    std::vector<std::wstring> usb;
    for (const std::wstring& name : spoolerPorts()) {
        if (name.compare(0, 3, L"USB") == 0) {
            usb.push_back(name);
        }
    }
    return usb;
}

// The spooler's spelling of the port named on the command line; empty when it lists none.
std::wstring namedPort(const std::wstring& given) {
    for (const std::wstring& name : spoolerPorts()) {
        if (_wcsicmp(name.c_str(), given.c_str()) == 0 ||
            _wcsicmp(name.c_str(), (given + L":").c_str()) == 0) {
            return name;
        }
    }
    return {};
}

// One installation at a time: the installer's mutex, held until ReleaseMutex.
HANDLE takeInstallMutex() {
    HANDLE mutex = CreateMutexW(nullptr, FALSE, kInstallMutex);
    check(mutex != nullptr && WaitForSingleObject(mutex, 0) == WAIT_OBJECT_0);
    return mutex;
}

void releaseInstallMutex(HANDLE mutex) {
    if (mutex != nullptr) {
        ReleaseMutex(mutex);
        CloseHandle(mutex);
    }
}

bool protectedPrintModeOn() {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kProtectedPrintKey, 0, KEY_QUERY_VALUE, &key) !=
        ERROR_SUCCESS) {
        return false;
    }
    DWORD type = 0, value = 0, size = sizeof value;
    const bool on = RegQueryValueExW(key, kProtectedPrintValue, nullptr, &type,
                                     reinterpret_cast<BYTE*>(&value), &size) == ERROR_SUCCESS &&
                    type == REG_DWORD && size == sizeof value && value == 1;
    RegCloseKey(key);
    return on;
}

void setPortValue(const std::wstring& path, const wchar_t* name, const std::wstring& port) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_SET_VALUE, &key) == ERROR_SUCCESS) {
        setText(key, name, port);
        RegCloseKey(key);
    }
}

void bindPrinterPort(const std::wstring& port) {
    setPortValue(kPrintersKey + kPrinter, L"Port", port);
    setPortValue(kPrintersKey + kPrinter + L"\\DsSpooler", L"portName", port);
    setPortValue(kControlSet001Key + kPrinter, L"Port", port);
    setPortValue(kCurrentControlSetKey + kPrinter, L"Port", port);
    SECURITY_ATTRIBUTES security{sizeof security, nullptr, TRUE};
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_CONFIG, (kCurrentControlSetKey + kPrinter).c_str(), 0, nullptr,
                        0, KEY_ALL_ACCESS, &security, &key, nullptr) == ERROR_SUCCESS) {
        DWORD offLine = 0;
        RegSetValueExW(key, L"PrinterOnLine", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&offLine),
                       sizeof offLine);
        RegCloseKey(key);
    }
}

void listPrinters() {
    DWORD count = 0;
    wchar_t emptyName[] = L"";
    enumerate(
        [&](LPBYTE data, DWORD size, LPDWORD needed, LPDWORD returned) {
            return EnumPrintersW(PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS, emptyName, 2, data,
                                 size, needed, returned);
        },
        count);
}

bool onLine() {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, (kOnLineKey + kPrinter).c_str(), 0, KEY_QUERY_VALUE,
                      &key) != ERROR_SUCCESS) {
        return false;
    }
    BYTE data[50] = {};
    DWORD size = sizeof data;
    bool result =
        RegQueryValueExW(key, L"PrinterOnLine", nullptr, nullptr, data, &size) == ERROR_SUCCESS &&
        data[0] == 1;
    RegCloseKey(key);
    return result;
}

// One round of the binding, as the installer makes it before it asks to retry (which the
// benchmark answers with Cancel).
void selectUsbPort(const std::vector<std::wstring>& candidates) {
    versionQuery();
    for (const std::wstring& port : candidates) {
        bindPrinterPort(port);
        listPrinters();
        if (onLine()) {
            return;
        }
    }
}

std::wstring driverDirectory(const Variant& variant) {
    std::vector<wchar_t> buffer(MAX_PATH, L'\0');
    std::wstring environment = variant.environment;
    for (int round = 0; round < 8; ++round) {
        DWORD needed = 0;
        if (GetPrinterDriverDirectoryW(
                nullptr, environment.data(), 1, reinterpret_cast<LPBYTE>(buffer.data()),
                static_cast<DWORD>(buffer.size() * sizeof(wchar_t)), &needed)) {
            return buffer.data();
        }
        if (GetLastError() != ERROR_INSUFFICIENT_BUFFER) {
            break;
        }
        buffer.assign(needed / sizeof(wchar_t) + 1, L'\0');
    }
    return {};
}

// A copy over a read-only one from an earlier run clears its attribute first, when the
// source is there.
void copy(const Variant& variant, const std::wstring& directory, const std::wstring& file) {
    const std::wstring source = variant.source + file;
    const std::wstring destination = directory + L"\\" + file;
    DWORD sourceAttributes = GetFileAttributesW(source.c_str());
    if (sourceAttributes != INVALID_FILE_ATTRIBUTES &&
        (sourceAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        DWORD attributes = GetFileAttributesW(destination.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0) {
            SetFileAttributesW(destination.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
        }
    }
    step(CopyFileW(source.c_str(), destination.c_str(), FALSE) != 0,
         L"Copy \"" + source + L"\" to \"" + destination + L"\"");
}

// Closes the printer last; the quiet form then pauses as the installer does.
void deploy(const Variant& variant, const std::wstring& port, bool pause) {
    std::wstring directory = driverDirectory(variant);
    check(!directory.empty());
    std::wstring folder = variant.source;
    folder.pop_back(); // without its trailing backslash
    DWORD package = GetFileAttributesW(folder.c_str());
    check(package != INVALID_FILE_ATTRIBUTES && (package & FILE_ATTRIBUTE_DIRECTORY) != 0);
    for (const wchar_t* file : {L"TQ20Ev1.DLL", L"TQ20P.GPD", L"uniDRVui.DLL", L"uniDRV.DLL",
                                L"UNIDRV.HLP", L"UNIRES.DLL", L"TTFSUB.GPD", L"STDNAMES.GPD"}) {
        copy(variant, directory, file);
    }

    std::wstring name = kPrinter, environment = variant.environment;
    std::wstring driverPath = directory + L"\\uniDRV.DLL";
    std::wstring dataFile = directory + L"\\TQ20P.GPD";
    std::wstring configFile = directory + L"\\uniDRVui.DLL";
    std::wstring helpFile = directory + L"\\uniDRV.HLP";
    std::wstring dependentFiles = std::wstring(L"\\ttfsub.GPD") + L'\0' + L"\\unires.DLL" + L'\0' +
                                  L"\\stdnames.GPD" + L'\0' + L"TQ20Ev1.DLL" + L'\0' + L'\0';
    std::wstring monitor, dataType = L"RAW";
    DRIVER_INFO_3W driver{};
    driver.cVersion = 2;
    driver.pName = name.data();
    driver.pEnvironment = environment.data();
    driver.pDriverPath = driverPath.data();
    driver.pDataFile = dataFile.data();
    driver.pConfigFile = configFile.data();
    driver.pHelpFile = helpFile.data();
    driver.pDependentFiles = dependentFiles.data();
    driver.pMonitorName = monitor.data();
    driver.pDefaultDataType = dataType.data();
    step(AddPrinterDriverW(nullptr, 3, reinterpret_cast<LPBYTE>(&driver)) != 0,
         L"Register the printer driver \"" + name + L"\"");

    std::wstring portName = port, processor = L"WinPrint";
    PRINTER_INFO_2W info{};
    info.pPrinterName = name.data();
    info.pPortName = portName.data();
    info.pDriverName = name.data();
    info.pPrintProcessor = processor.data();
    info.pDatatype = dataType.data();
    HANDLE printer = AddPrinterW(nullptr, 2, reinterpret_cast<LPBYTE>(&info));
    check(printer != nullptr);

    // The LocalSystem account's default printer is its own, which the installer leaves.
    if (!runsAsLocalSystem()) {
        HKEY key = nullptr;
        bool defaultSet = false;
        if (RegOpenKeyExW(HKEY_CURRENT_USER, kWindowsKey.c_str(), 0, KEY_SET_VALUE, &key) ==
            ERROR_SUCCESS) {
            defaultSet = setText(key, L"Device", kPrinter + L",winspool," + port) == ERROR_SUCCESS;
            RegCloseKey(key);
        }
        step(defaultSet, L"Make \"" + name + L"\" the default printer");
    }
    if (printer != nullptr) {
        ClosePrinter(printer);
    }
    if (pause) {
        Sleep(500);
    }
}

double seconds(const LARGE_INTEGER& from, const LARGE_INTEGER& to) {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(to.QuadPart - from.QuadPart) /
           static_cast<double>(frequency.QuadPart);
}

// Writes the seconds to the file.
void writeTime(const std::wstring& file, double value) {
    FILE* out = _wfopen(file.c_str(), L"w");
    if (out == nullptr) {
        ++failures;
        return;
    }
    std::fprintf(out, "%.6f\n", value);
    std::fclose(out);
}

// The installation as the wizard makes it; the seconds from the "&Install" click on go to
// the time file, when one is named.
int asTheWizard(const std::wstring& timeFile) {
    // What the pages do before the click.
    versionQuery();
    discoverUsbPorts();
    // What the click does.
    LARGE_INTEGER start, end;
    QueryPerformanceCounter(&start);
    HANDLE mutex = takeInstallMutex();
    if (!protectedPrintModeOn()) {
        std::vector<std::wstring> usb = discoverUsbPorts();
        const Variant& variant = architecture();
        selectUsbPort(usb);
        deploy(variant, usb.empty() ? std::wstring() : usb.front(), false);
    } else {
        ++failures;
    }
    releaseInstallMutex(mutex);
    QueryPerformanceCounter(&end);
    if (!timeFile.empty()) {
        writeTime(timeFile, seconds(start, end));
    }
    return failures;
}

// The installation as "/quiet /port PORT /log LOG-FILE" makes it.
int asTheQuietRun(const std::wstring& given, const std::wstring& logFile) {
    check(runLog.open(logFile));
    logHeader();
    const std::wstring port = namedPort(given);
    check(!port.empty());
    HANDLE mutex = takeInstallMutex();
    if (!protectedPrintModeOn()) {
        runLog.line(L"The port \"" + port + L"\" was named");
        deploy(architecture(), port, true);
        runLog.line(L"Installed: the printer \"" + kPrinter + L"\" on the port \"" + port + L"\"");
    } else {
        ++failures;
    }
    releaseInstallMutex(mutex);
    runLog.line(L"Exit code " + std::to_wstring(failures));
    runLog.close();
    return failures;
}

} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    int count = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::wstring> args;
    for (int i = 1; argv != nullptr && i < count; ++i) {
        args.emplace_back(argv[i]);
    }
    LocalFree(argv);
    if (args.size() <= 1) {
        return asTheWizard(args.empty() ? std::wstring() : args[0]);
    }
    if (args.size() == 3 && _wcsicmp(args[0].c_str(), L"/quiet") == 0) {
        return asTheQuietRun(args[1], args[2]);
    }
    return ERROR_INVALID_PARAMETER;
}
