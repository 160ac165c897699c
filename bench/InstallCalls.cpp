// The spooler, file and registry calls of one typical installation of the K20A (the first
// model, made the default printer, on the first USB port), in the installer's order, with no
// user interface: the version query, port discovery (the serial device map and the spooler's
// ports), the x86/x64 decision (IsWow64Process, looked up in kernel32 at run time), the
// binding of the printer to each USB port with the printer enumeration and the read-back of
// its on-line mark, then the deployment for that architecture (driver directory, the eight
// copies, driver and printer registration, the default printer, closing the printer). The
// benchmark script times this program against a whole installation driven through the pages.
//
// Run from the driver package folder. The exit code is the number of deployment calls that
// failed (0: the driver, the printer and the default printer are in place). Given a file
// name, it writes to it the seconds that the calls the installer makes after its "&Install"
// click took (the x86/x64 decision, the USB port binding and the deployment), timed inside
// the process.
//
// Built by the windows presets as build/windows-x86/bench/InstallCalls.exe and
// build/windows-x64/bench/InstallCalls.exe (bench/CMakeLists.txt).
//   InstallCalls.exe [TIME-FILE]
#include <windows.h>

#include <winspool.h>

#include <cstdio>
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

void versionQuery() {
    OSVERSIONINFOEXW info{};
    info.dwOSVersionInfoSize = sizeof info;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&info));
#pragma GCC diagnostic pop
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

std::vector<std::wstring> usbPorts() {
    DWORD count = 0;
    std::vector<BYTE> records = enumerate(
        [](LPBYTE data, DWORD size, LPDWORD needed, LPDWORD returned) {
            return EnumPortsW(nullptr, 2, data, size, needed, returned);
        },
        count);
    std::vector<std::wstring> usb;
    const auto* ports = reinterpret_cast<const PORT_INFO_2W*>(records.data());
    for (DWORD i = 0; i < count && i < 256; ++i) {
        std::wstring name = ports[i].pPortName != nullptr ? ports[i].pPortName : L"";
        if (name.compare(0, 3, L"USB") == 0) {
            usb.push_back(name);
        }
    }
    return usb;
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

void selectUsbPort(const std::vector<std::wstring>& candidates) {
    for (const std::wstring& port : candidates) {
        bindPrinterPort(port);
        listPrinters();
        if (onLine()) {
            return;
        }
    }
}

// The installer's decision: a 32-bit program on 64-bit Windows installs the x64 driver,
// anywhere else the x86 one, and a kernel32 without IsWow64Process, or a call of it that
// fails, means 32-bit Windows. A 64-bit program runs on 64-bit Windows only.
const Variant& architecture() {
    if constexpr (sizeof(void*) == 8) {
        return kX64;
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
    if (isWow64Process == nullptr || !isWow64Process(GetCurrentProcess(), &wow64)) {
        return kX86;
    }
    return wow64 ? kX64 : kX86;
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

void copy(const Variant& variant, const std::wstring& directory, const std::wstring& file) {
    std::wstring destination = directory + L"\\" + file;
    DWORD attributes = GetFileAttributesW(destination.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0) {
        SetFileAttributesW(destination.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
    }
    check(CopyFileW((variant.source + file).c_str(), destination.c_str(), FALSE) != 0);
}

void deploy(const Variant& variant, const std::wstring& port) {
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
    check(AddPrinterDriverW(nullptr, 3, reinterpret_cast<LPBYTE>(&driver)) != 0);

    std::wstring portName = port, processor = L"WinPrint";
    PRINTER_INFO_2W info{};
    info.pPrinterName = name.data();
    info.pPortName = portName.data();
    info.pDriverName = name.data();
    info.pPrintProcessor = processor.data();
    info.pDatatype = dataType.data();
    HANDLE printer = AddPrinterW(nullptr, 2, reinterpret_cast<LPBYTE>(&info));
    check(printer != nullptr);

    HKEY key = nullptr;
    bool defaultSet = false;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kWindowsKey.c_str(), 0, KEY_SET_VALUE, &key) ==
        ERROR_SUCCESS) {
        defaultSet = setText(key, L"Device", kPrinter + L",winspool," + port) == ERROR_SUCCESS;
        RegCloseKey(key);
    }
    check(defaultSet);
    if (printer != nullptr) {
        ClosePrinter(printer);
    }
}

double seconds(const LARGE_INTEGER& from, const LARGE_INTEGER& to) {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(to.QuadPart - from.QuadPart) /
           static_cast<double>(frequency.QuadPart);
}

// Writes the seconds to the file named on the command line (quotes around it allowed).
void writeTime(std::wstring file, double value) {
    if (file.size() >= 2 && file.front() == L'"' && file.back() == L'"') {
        file = file.substr(1, file.size() - 2);
    }
    if (file.empty()) {
        return;
    }
    FILE* out = _wfopen(file.c_str(), L"w");
    if (out == nullptr) {
        ++failures;
        return;
    }
    std::fprintf(out, "%.6f\n", value);
    std::fclose(out);
}

} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR commandLine, int) {
    // What the installer does before "&Install": the version and the port discovery.
    versionQuery();
    serialDeviceMap();
    std::vector<std::wstring> usb = usbPorts();
    // What it does after it.
    LARGE_INTEGER start, end;
    QueryPerformanceCounter(&start);
    const Variant& variant = architecture();
    selectUsbPort(usb);
    deploy(variant, usb.empty() ? std::wstring() : usb.front());
    QueryPerformanceCounter(&end);
    writeTime(commandLine, seconds(start, end));
    return failures;
}
