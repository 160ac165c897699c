// A stand-in for Windows' Standard TCP/IP Port monitor, for the end-to-end tests: Wine has none.
// Registered as HKLM\SYSTEM\CurrentControlSet\Control\Print\Monitors\Standard TCP/IP Port
// (Driver), the spooler loads it into the process that asks (under Wine, the installer itself).
// It keeps its ports where Windows keeps them, in the Ports key under its own, lists them
// with the description "Standard TCP/IP Port", and answers XcvData's "AddPort",
// "GetConfigInfo" and "DeletePort". Every "AddPort" and "DeletePort" it is given is recorded,
// field by field as the documented PORT_DATA_1 and DELETE_PORT_DATA_1 layouts place them, in
// C:\vexo-e2e-tcpmon.log: the test reads the structure as the installer sent it. Test
// machinery only, never shipped.
#include <windows.h>

#include <winspool.h>

#include <winsplp.h>

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <iterator>
#include <string>
#include <vector>

namespace {

const wchar_t kMonitor[] = L"Standard TCP/IP Port";
const wchar_t kPortsKey[] =
    L"SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors\\Standard TCP/IP Port\\Ports";
const wchar_t kRecord[] = L"C:\\vexo-e2e-tcpmon.log";

// PORT_DATA_1, as the monitor's documentation lays it out: offsets in bytes, and the port's
// registry value that keeps each field, if any.
constexpr DWORD kPortDataSize = 964;
struct TextField {
    const char* name;
    DWORD offset;
    DWORD chars;
    const wchar_t* value;
};
constexpr TextField kName{"sztPortName", 0, 64, nullptr}; // the key's name
constexpr TextField kHost{"sztHostAddress", 144, 49, L"HostName"};
constexpr TextField kCommunity{"sztSNMPCommunity", 242, 33, L"SNMP Community"};
constexpr TextField kQueue{"sztQueue", 312, 33, L"Queue"};
constexpr TextField kIpAddress{"sztIPAddress", 378, 16, L"IPAddress"};
struct NumberField {
    const char* name;
    DWORD offset;
    const wchar_t* value;
};
constexpr NumberField kVersion{"dwVersion", 128, L"Version"};
constexpr NumberField kProtocol{"dwProtocol", 132, L"Protocol"};
constexpr NumberField kSize{"cbSize", 136, nullptr};
constexpr NumberField kReserved{"dwReserved", 140, nullptr};
constexpr NumberField kDoubleSpool{"dwDoubleSpool", 308, L"Double Spool"};
constexpr NumberField kPortNumber{"dwPortNumber", 952, L"PortNumber"};
constexpr NumberField kSnmpEnabled{"dwSNMPEnabled", 956, L"SNMP Enabled"};
constexpr NumberField kSnmpIndex{"dwSNMPDevIndex", 960, L"SNMP Index"};
const TextField kTexts[] = {kName, kHost, kCommunity, kQueue, kIpAddress};
const NumberField kNumbers[] = {kVersion,     kProtocol,   kSize,        kReserved,
                                kDoubleSpool, kPortNumber, kSnmpEnabled, kSnmpIndex};

std::wstring textAt(const BYTE* data, const TextField& f) {
    std::wstring text(f.chars, L'\0');
    std::memcpy(text.data(), data + f.offset, f.chars * sizeof(wchar_t));
    text.resize(wcsnlen(text.data(), f.chars));
    return text;
}

DWORD numberAt(const BYTE* data, const NumberField& f) {
    DWORD n = 0;
    std::memcpy(&n, data + f.offset, sizeof n);
    return n;
}

std::string utf8(const std::wstring& text) {
    int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr,
                                   0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size,
                        nullptr, nullptr);
    return out;
}

void record(const std::string& line) {
    HANDLE file = CreateFileW(kRecord, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return;
    }
    std::string text = line + "\r\n";
    DWORD written = 0;
    WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(file);
}

// One Xcv handle: the object it was opened on (the monitor's name, or a port's) and the access.
struct Xcv {
    std::wstring object;
    ACCESS_MASK access;
};

std::vector<std::wstring> portNames() {
    std::vector<std::wstring> names;
    HKEY ports = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kPortsKey, 0, KEY_READ, &ports) != ERROR_SUCCESS) {
        return names;
    }
    wchar_t name[256];
    for (DWORD i = 0;; ++i) {
        DWORD length = 256;
        if (RegEnumKeyExW(ports, i, name, &length, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS) {
            break;
        }
        names.emplace_back(name, length);
    }
    RegCloseKey(ports);
    return names;
}

BOOL WINAPI enumPorts(HANDLE, LPWSTR, DWORD level, LPBYTE buffer, DWORD size, LPDWORD needed,
                      LPDWORD returned) {
    const std::vector<std::wstring> names = portNames();
    const DWORD entry = level == 1 ? sizeof(PORT_INFO_1W) : sizeof(PORT_INFO_2W);
    // Each entry, then its texts: the name and, at level 2, the monitor and the description,
    // all counted in what is needed (the spooler copies them on into its caller's buffer).
    const DWORD monitorBytes = level == 1 ? 0 : 2 * sizeof kMonitor;
    DWORD need = static_cast<DWORD>(names.size()) * (entry + monitorBytes);
    for (const std::wstring& n : names) {
        need += static_cast<DWORD>((n.size() + 1) * sizeof(wchar_t));
    }
    *needed = need;
    *returned = 0;
    if (level != 1 && level != 2) {
        SetLastError(ERROR_INVALID_LEVEL);
        return FALSE;
    }
    if (size < need || (need > 0 && buffer == nullptr)) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    auto* text = reinterpret_cast<wchar_t*>(buffer + names.size() * entry);
    auto put = [&text](const wchar_t* s, std::size_t chars) {
        wchar_t* at = text;
        std::memcpy(at, s, (chars + 1) * sizeof(wchar_t));
        text += chars + 1;
        return at;
    };
    for (std::size_t i = 0; i < names.size(); ++i) {
        wchar_t* name = put(names[i].c_str(), names[i].size());
        if (level == 1) {
            reinterpret_cast<PORT_INFO_1W*>(buffer)[i] = PORT_INFO_1W{name};
        } else {
            wchar_t* monitor = put(kMonitor, std::size(kMonitor) - 1);
            wchar_t* description = put(kMonitor, std::size(kMonitor) - 1);
            reinterpret_cast<PORT_INFO_2W*>(buffer)[i] =
                PORT_INFO_2W{name, monitor, description, PORT_TYPE_WRITE | PORT_TYPE_READ, 0};
        }
    }
    *returned = static_cast<DWORD>(names.size());
    return TRUE;
}

BOOL WINAPI xcvOpenPort(HANDLE, LPCWSTR object, ACCESS_MASK access, PHANDLE xcv) {
    *xcv = new Xcv{object != nullptr ? object : L"", access};
    return TRUE;
}

BOOL WINAPI xcvClosePort(HANDLE xcv) {
    delete static_cast<Xcv*>(xcv);
    return TRUE;
}

VOID WINAPI shutdownMonitor(HANDLE) {}

// "AddPort": recorded whatever becomes of it, then kept as Windows' monitor keeps its ports.
DWORD addPort(const Xcv& xcv, const BYTE* data, DWORD size) {
    std::string line = "AddPort object=\"" + utf8(xcv.object) +
                       "\" access=" + std::to_string(xcv.access) + " size=" + std::to_string(size);
    if (data == nullptr || size < kPortDataSize) {
        record(line);
        return ERROR_INVALID_DATA;
    }
    for (const TextField& f : kTexts) {
        line += std::string(" ") + f.name + "=\"" + utf8(textAt(data, f)) + "\"";
    }
    for (const NumberField& f : kNumbers) {
        line += std::string(" ") + f.name + "=" + std::to_string(numberAt(data, f));
    }
    record(line);
    if ((xcv.access & SERVER_ACCESS_ADMINISTER) == 0) {
        return ERROR_ACCESS_DENIED;
    }
    if (numberAt(data, kVersion) != 1) {
        return ERROR_INVALID_LEVEL;
    }
    const std::wstring key = std::wstring(kPortsKey) + L"\\" + textAt(data, kName);
    HKEY port = nullptr;
    DWORD disposition = 0;
    LSTATUS s = RegCreateKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                                nullptr, &port, &disposition);
    if (s != ERROR_SUCCESS) {
        return static_cast<DWORD>(s);
    }
    if (disposition == REG_OPENED_EXISTING_KEY) {
        RegCloseKey(port);
        return ERROR_ALREADY_EXISTS;
    }
    for (const TextField& f : kTexts) {
        if (f.value != nullptr) {
            const std::wstring text = textAt(data, f);
            RegSetValueExW(port, f.value, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                           static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
        }
    }
    for (const NumberField& f : kNumbers) {
        if (f.value != nullptr) {
            const DWORD n = numberAt(data, f);
            RegSetValueExW(port, f.value, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&n),
                           sizeof n);
        }
    }
    RegCloseKey(port);
    return ERROR_SUCCESS;
}

// "DeletePort" (DELETE_PORT_DATA_1: the name, 98 reserved bytes, then the version at 228):
// recorded, then the port goes.
DWORD deletePort(const Xcv& xcv, const BYTE* data, DWORD size) {
    constexpr DWORD kDeleteSize = 236, kDeleteVersion = 228;
    std::string line = "DeletePort object=\"" + utf8(xcv.object) +
                       "\" access=" + std::to_string(xcv.access) + " size=" + std::to_string(size);
    if (data == nullptr || size < kDeleteSize) {
        record(line);
        return ERROR_INVALID_DATA;
    }
    const std::wstring name = textAt(data, kName);
    const NumberField version{"dwVersion", kDeleteVersion, nullptr};
    record(line + " psztPortName=\"" + utf8(name) +
           "\" dwVersion=" + std::to_string(numberAt(data, version)));
    if ((xcv.access & SERVER_ACCESS_ADMINISTER) == 0) {
        return ERROR_ACCESS_DENIED;
    }
    const std::wstring key = std::wstring(kPortsKey) + L"\\" + name;
    const LSTATUS s = RegDeleteKeyW(HKEY_LOCAL_MACHINE, key.c_str());
    return s == ERROR_FILE_NOT_FOUND ? ERROR_UNKNOWN_PORT : static_cast<DWORD>(s);
}

// "GetConfigInfo" on a port's handle: its PORT_DATA_1 from what was kept.
DWORD getConfigInfo(const Xcv& xcv, const BYTE* input, DWORD inputSize, BYTE* out, DWORD outSize,
                    PDWORD needed) {
    DWORD version = 0;
    if (input == nullptr || inputSize < 132) {
        return ERROR_INVALID_DATA;
    }
    std::memcpy(&version, input + 128, sizeof version);
    if (version != 1) {
        return ERROR_INVALID_LEVEL;
    }
    *needed = kPortDataSize;
    if (out == nullptr || outSize < kPortDataSize) {
        return ERROR_INSUFFICIENT_BUFFER;
    }
    const std::wstring key = std::wstring(kPortsKey) + L"\\" + xcv.object;
    HKEY port = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_READ, &port) != ERROR_SUCCESS) {
        return ERROR_UNKNOWN_PORT;
    }
    std::memset(out, 0, kPortDataSize);
    auto putText = [out](const TextField& f, const std::wstring& text) {
        std::memcpy(out + f.offset, text.c_str(),
                    (std::min<std::size_t>(text.size(), f.chars - 1)) * sizeof(wchar_t));
    };
    for (const TextField& f : kTexts) {
        wchar_t text[64] = {};
        DWORD bytes = sizeof text - sizeof(wchar_t);
        if (f.value != nullptr) {
            RegQueryValueExW(port, f.value, nullptr, nullptr, reinterpret_cast<BYTE*>(text),
                             &bytes);
        }
        putText(f, f.value != nullptr ? text : xcv.object.c_str());
    }
    for (const NumberField& f : kNumbers) {
        DWORD n = f.offset == kSize.offset ? kPortDataSize : 0;
        DWORD bytes = sizeof n;
        if (f.value != nullptr) {
            RegQueryValueExW(port, f.value, nullptr, nullptr, reinterpret_cast<BYTE*>(&n), &bytes);
        }
        std::memcpy(out + f.offset, &n, sizeof n);
    }
    RegCloseKey(port);
    return ERROR_SUCCESS;
}

DWORD WINAPI xcvDataPort(HANDLE handle, LPCWSTR command, PBYTE input, DWORD inputSize, PBYTE output,
                         DWORD outputSize, PDWORD needed) {
    const Xcv& xcv = *static_cast<Xcv*>(handle);
    *needed = 0;
    if (std::wcscmp(command, L"AddPort") == 0) {
        return addPort(xcv, input, inputSize);
    }
    if (std::wcscmp(command, L"GetConfigInfo") == 0) {
        return getConfigInfo(xcv, input, inputSize, output, outputSize, needed);
    }
    if (std::wcscmp(command, L"DeletePort") == 0) {
        return deletePort(xcv, input, inputSize);
    }
    return ERROR_INVALID_PARAMETER;
}

MONITOR2 monitor = [] {
    MONITOR2 m{};
    m.cbSize = sizeof m;
    m.pfnEnumPorts = enumPorts;
    m.pfnXcvOpenPort = xcvOpenPort;
    m.pfnXcvDataPort = xcvDataPort;
    m.pfnXcvClosePort = xcvClosePort;
    m.pfnShutdown = shutdownMonitor;
    return m;
}();

} // namespace

extern "C" __declspec(dllexport) LPMONITOR2 WINAPI
    InitializePrintMonitor2(PMONITORINIT, PHANDLE monitorHandle) {
    *monitorHandle = &monitor;
    return &monitor;
}
