#include "platform/win32/Win32Spooler.h"

#include "platform/TwoCallEnumeration.h"
#include "platform/win32/WideText.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <cwchar>
#include <deque>
#include <utility>

namespace vexo::win32 {

namespace {

// The thread's last error, never 0 for a call that reported failure.
WinError lastError() {
    DWORD e = GetLastError();
    return e != 0 ? static_cast<WinError>(e) : static_cast<WinError>(ERROR_GEN_FAILURE);
}

std::wstring systemDirectory() {
    std::wstring directory;
    UINT size = GetSystemDirectoryW(nullptr, 0);
    while (size > directory.size()) {
        directory.assign(size, L'\0');
        size = GetSystemDirectoryW(directory.data(), static_cast<UINT>(directory.size()));
        if (size == 0) {
            return std::wstring();
        }
        if (size < directory.size()) {
            directory.resize(size);
            break;
        }
    }
    return directory;
}

// One spooler enumeration: `fn(data, size, needed, count)` through the shared two-call
// enumeration, then each returned record converted by `convert` into `out` (left as it
// was on failure). The records are copied out rather than cast in place; their texts
// point into the buffer.
template <class Record, class Fn, class Convert, class Out>
WinError enumerateRecords(Fn fn, Convert convert, std::vector<Out>& out) {
    std::vector<std::byte> buffer;
    std::uint32_t returned = 0;
    WinError e = enumerateTwoCalls(
        [&](std::byte* data, std::uint32_t size, std::uint32_t* needed, std::uint32_t* got) {
            DWORD n = 0, c = 0;
            BOOL ok = fn(reinterpret_cast<LPBYTE>(data), static_cast<DWORD>(size), &n, &c);
            *needed = static_cast<std::uint32_t>(n);
            *got = static_cast<std::uint32_t>(c);
            return ok ? err::Success : lastError();
        },
        buffer, returned);
    if (e != err::Success) {
        return e;
    }
    const std::size_t count = std::min<std::size_t>(returned, buffer.size() / sizeof(Record));
    out.clear();
    out.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        Record record;
        std::memcpy(&record, buffer.data() + i * sizeof(Record), sizeof(Record));
        out.push_back(convert(record));
    }
    return err::Success;
}

PortInfo2 toPortInfo(const PORT_INFO_2W& r) {
    return PortInfo2{narrow(r.pPortName), narrow(r.pMonitorName), narrow(r.pDescription),
                     r.fPortType};
}

MonitorInfo1 toMonitorInfo(const MONITOR_INFO_1W& r) {
    MonitorInfo1 monitor;
    if (r.pName != nullptr) {
        monitor.name = narrow(r.pName);
    }
    return monitor;
}

PrinterInfo2 toPrinterInfo(const PRINTER_INFO_2W& r) {
    PrinterInfo2 p;
    p.serverName = narrow(r.pServerName);
    p.printerName = narrow(r.pPrinterName);
    p.shareName = narrow(r.pShareName);
    p.portName = narrow(r.pPortName);
    p.driverName = narrow(r.pDriverName);
    p.comment = narrow(r.pComment);
    p.location = narrow(r.pLocation);
    p.sepFile = narrow(r.pSepFile);
    p.printProcessor = narrow(r.pPrintProcessor);
    p.datatype = narrow(r.pDatatype);
    p.parameters = narrow(r.pParameters);
    p.attributes = r.Attributes;
    p.priority = r.Priority;
    p.defaultPriority = r.DefaultPriority;
    p.startTime = r.StartTime;
    p.untilTime = r.UntilTime;
    p.status = r.Status;
    p.jobs = r.cJobs;
    p.averagePpm = r.AveragePPM;
    return p;
}

// The wide texts of one call's record, kept alive (and at fixed addresses) until the call.
class WideArguments {
  public:
    // Always a pointer; an empty text points to a NUL.
    LPWSTR text(const std::string& utf8) { return store(utf8); }
    // Null for an empty text.
    LPWSTR textOrNull(const std::string& utf8) { return utf8.empty() ? nullptr : store(utf8); }
    // A NUL-separated list ended by a further NUL; null when there is no entry. Empty
    // entries are left out, since they would end the list early.
    LPWSTR list(const std::vector<std::string>& entries) {
        std::wstring joined;
        for (const std::string& entry : entries) {
            if (entry.empty()) {
                continue;
            }
            auto wide = tryWiden(entry);
            if (!wide) {
                ok_ = false;
                continue;
            }
            joined += *wide;
            joined += L'\0';
        }
        if (joined.empty()) {
            return nullptr;
        }
        joined += L'\0';
        return strings_.emplace_back(std::move(joined)).data();
    }
    // False when a text was not valid UTF-8.
    [[nodiscard]] bool ok() const { return ok_; }

  private:
    LPWSTR store(const std::string& utf8) {
        auto wide = tryWiden(utf8);
        if (!wide) {
            ok_ = false;
            wide.emplace();
        }
        return strings_.emplace_back(std::move(*wide)).data();
    }

    std::deque<std::wstring> strings_;
    bool ok_ = true;
};

} // namespace

WinError Win32Spooler::load() {
    if (loaded_) {
        return loadError_;
    }
    loaded_ = true;
    // winspool.drv is no KnownDLL: name System32 explicitly so that a copy beside the
    // program or in the current directory is never loaded.
    HMODULE module = LoadLibraryExW(L"winspool.drv", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (module == nullptr) {
        // Systems without the LOAD_LIBRARY_SEARCH_* flags reject them; the full path does
        // the same there.
        WinError firstError = lastError();
        std::wstring directory = systemDirectory();
        if (!directory.empty()) {
            std::wstring path = directory + L"\\winspool.drv";
            module = LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
        }
        if (module == nullptr) {
            loadError_ = directory.empty() ? firstError : lastError();
            return loadError_;
        }
    }
    library_ = UniqueLibrary(module);
    enumPorts_ = lookupFunction<decltype(enumPorts_)>(module, "EnumPortsW");
    enumMonitors_ = lookupFunction<decltype(enumMonitors_)>(module, "EnumMonitorsW");
    enumPrinters_ = lookupFunction<decltype(enumPrinters_)>(module, "EnumPrintersW");
    getPrinterDriverDirectory_ =
        lookupFunction<decltype(getPrinterDriverDirectory_)>(module, "GetPrinterDriverDirectoryW");
    addPrinterDriver_ = lookupFunction<decltype(addPrinterDriver_)>(module, "AddPrinterDriverW");
    addPrinter_ = lookupFunction<decltype(addPrinter_)>(module, "AddPrinterW");
    closePrinter_ = lookupFunction<decltype(closePrinter_)>(module, "ClosePrinter");
    addPort_ = lookupFunction<decltype(addPort_)>(module, "AddPortW");
    configurePort_ = lookupFunction<decltype(configurePort_)>(module, "ConfigurePortW");
    openPrinter_ = lookupFunction<decltype(openPrinter_)>(module, "OpenPrinterW");
    deletePrinter_ = lookupFunction<decltype(deletePrinter_)>(module, "DeletePrinter");
    deletePrinterDriverEx_ =
        lookupFunction<decltype(deletePrinterDriverEx_)>(module, "DeletePrinterDriverExW");
    enumPrinterDrivers_ =
        lookupFunction<decltype(enumPrinterDrivers_)>(module, "EnumPrinterDriversW");
    return err::Success;
}

WinError Win32Spooler::unavailable() const {
    return loadError_ != 0 ? loadError_ : static_cast<WinError>(ERROR_PROC_NOT_FOUND);
}

WinError Win32Spooler::enumPorts(std::vector<PortInfo2>& ports) {
    if (load(); enumPorts_ == nullptr) {
        return unavailable();
    }
    auto call = [this](auto... buffer) { return enumPorts_(nullptr, 2, buffer...); };
    return enumerateRecords<PORT_INFO_2W>(call, toPortInfo, ports);
}

WinError Win32Spooler::enumMonitors(std::vector<MonitorInfo1>& monitors) {
    if (load(); enumMonitors_ == nullptr) {
        return unavailable();
    }
    auto call = [this](auto... buffer) { return enumMonitors_(nullptr, 1, buffer...); };
    return enumerateRecords<MONITOR_INFO_1W>(call, toMonitorInfo, monitors);
}

WinError Win32Spooler::enumPrinters(std::uint32_t flags, std::vector<PrinterInfo2>& printers) {
    if (load(); enumPrinters_ == nullptr) {
        return unavailable();
    }
    // An empty name, not a null pointer.
    wchar_t emptyName[] = L"";
    auto call = [&](auto... buffer) { return enumPrinters_(flags, emptyName, 2, buffer...); };
    return enumerateRecords<PRINTER_INFO_2W>(call, toPrinterInfo, printers);
}

WinError Win32Spooler::getPrinterDriverDirectory(const std::string& environment,
                                                 std::string& directory) {
    if (load(); getPrinterDriverDirectory_ == nullptr) {
        return unavailable();
    }
    WideArguments args;
    // An empty environment names the one of this system.
    LPWSTR wideEnvironment = args.textOrNull(environment);
    if (!args.ok()) {
        return ERROR_NO_UNICODE_TRANSLATION;
    }
    // Start from a buffer that usually fits and grow it to what the spooler asks for.
    std::vector<wchar_t> buffer(MAX_PATH, L'\0');
    for (int round = 0; round < kMaxEnumerationRounds; ++round) {
        DWORD needed = 0;
        if (getPrinterDriverDirectory_(
                nullptr, wideEnvironment, 1, reinterpret_cast<LPBYTE>(buffer.data()),
                static_cast<DWORD>(buffer.size() * sizeof(wchar_t)), &needed)) {
            directory =
                narrow(std::wstring_view(buffer.data(), wcsnlen(buffer.data(), buffer.size())));
            return err::Success;
        }
        WinError e = lastError();
        if (e != ERROR_INSUFFICIENT_BUFFER) {
            return e;
        }
        buffer.assign(std::max<std::size_t>(needed / sizeof(wchar_t) + 1, buffer.size() * 2),
                      L'\0');
    }
    return ERROR_INSUFFICIENT_BUFFER;
}

WinError Win32Spooler::addPrinterDriver(const DriverInfo3& driver) {
    if (load(); addPrinterDriver_ == nullptr) {
        return unavailable();
    }
    WideArguments args;
    DRIVER_INFO_3W info{};
    info.cVersion = driver.version;
    info.pName = args.text(driver.name);
    info.pEnvironment = args.textOrNull(driver.environment);
    info.pDriverPath = args.text(driver.driverPath);
    info.pDataFile = args.text(driver.dataFile);
    info.pConfigFile = args.text(driver.configFile);
    info.pHelpFile = args.textOrNull(driver.helpFile);
    info.pDependentFiles = args.list(driver.dependentFiles);
    info.pMonitorName = args.text(driver.monitorName); // an empty text, not null
    info.pDefaultDataType = args.textOrNull(driver.defaultDataType);
    if (!args.ok()) {
        return ERROR_NO_UNICODE_TRANSLATION;
    }
    if (!addPrinterDriver_(nullptr, 3, reinterpret_cast<LPBYTE>(&info))) {
        return lastError();
    }
    return err::Success;
}

WinError Win32Spooler::addPrinter(const PrinterInfo2& printer, PrinterHandle& handle) {
    handle.reset();
    if (load(); addPrinter_ == nullptr) {
        return unavailable();
    }
    WideArguments args;
    PRINTER_INFO_2W info{}; // device mode and security descriptor stay null
    info.pServerName = args.textOrNull(printer.serverName);
    info.pPrinterName = args.text(printer.printerName);
    info.pShareName = args.textOrNull(printer.shareName);
    info.pPortName = args.text(printer.portName);
    info.pDriverName = args.text(printer.driverName);
    info.pComment = args.textOrNull(printer.comment);
    info.pLocation = args.textOrNull(printer.location);
    info.pSepFile = args.textOrNull(printer.sepFile);
    info.pPrintProcessor = args.text(printer.printProcessor);
    info.pDatatype = args.text(printer.datatype);
    info.pParameters = args.textOrNull(printer.parameters);
    info.Attributes = printer.attributes;
    info.Priority = printer.priority;
    info.DefaultPriority = printer.defaultPriority;
    info.StartTime = printer.startTime;
    info.UntilTime = printer.untilTime;
    info.Status = printer.status;
    info.cJobs = printer.jobs;
    info.AveragePPM = printer.averagePpm;
    if (!args.ok()) {
        return ERROR_NO_UNICODE_TRANSLATION;
    }
    HANDLE printerHandle = addPrinter_(nullptr, 2, reinterpret_cast<LPBYTE>(&info));
    if (printerHandle == nullptr) {
        return lastError();
    }
    handle = PrinterHandle(reinterpret_cast<std::uintptr_t>(printerHandle), {this});
    return err::Success;
}

namespace {

// AddPortW and ConfigurePortW: a port monitor's own dialog, over `owner`, for `name`.
WinError portDialog(decltype(&::AddPortW) call, NativeWindow owner, const std::string& name) {
    WideArguments args;
    LPWSTR wideName = args.text(name);
    if (!args.ok()) {
        return ERROR_NO_UNICODE_TRANSLATION;
    }
    if (!call(nullptr, reinterpret_cast<HWND>(owner), wideName)) {
        return lastError();
    }
    return err::Success;
}

} // namespace

WinError Win32Spooler::addPort(NativeWindow owner, const std::string& monitor) {
    if (load(); addPort_ == nullptr) {
        return unavailable();
    }
    return portDialog(addPort_, owner, monitor);
}

WinError Win32Spooler::configurePort(NativeWindow owner, const std::string& port) {
    if (load(); configurePort_ == nullptr) {
        return unavailable();
    }
    return portDialog(configurePort_, owner, port);
}

WinError Win32Spooler::deletePrinter(const std::string& name) {
    if (load(); openPrinter_ == nullptr || deletePrinter_ == nullptr || closePrinter_ == nullptr) {
        return unavailable();
    }
    auto wideName = tryWiden(name);
    if (!wideName) {
        return ERROR_NO_UNICODE_TRANSLATION;
    }
    PRINTER_DEFAULTSW defaults{nullptr, nullptr, PRINTER_ALL_ACCESS};
    HANDLE raw = nullptr;
    if (!openPrinter_(wideName->data(), &raw, &defaults)) {
        return lastError();
    }
    PrinterHandle printer(reinterpret_cast<std::uintptr_t>(raw), {this});
    if (!deletePrinter_(raw)) {
        return lastError();
    }
    return err::Success;
}

WinError Win32Spooler::deletePrinterDriver(const std::string& environment, const std::string& name,
                                           std::uint32_t deleteFlags) {
    if (load(); deletePrinterDriverEx_ == nullptr) {
        return unavailable();
    }
    auto wideEnvironment = tryWiden(environment);
    auto wideName = tryWiden(name);
    if (!wideEnvironment || !wideName) {
        return ERROR_NO_UNICODE_TRANSLATION;
    }
    SetLastError(ERROR_SUCCESS);
    if (!deletePrinterDriverEx_(nullptr, wideEnvironment->data(), wideName->data(), deleteFlags,
                                0)) {
        if (DWORD e = GetLastError(); e != ERROR_SUCCESS) {
            return static_cast<WinError>(e);
        }
        // A spooler that fails without saying why (Wine's does so for a driver it does not
        // have): its list of drivers tells an unknown driver from another failure.
        return driverListed(*wideEnvironment, *wideName) ? static_cast<WinError>(ERROR_GEN_FAILURE)
                                                         : err::UnknownPrinterDriver;
    }
    return err::Success;
}

bool Win32Spooler::driverListed(std::wstring& environment, const std::wstring& name) {
    if (enumPrinterDrivers_ == nullptr) {
        return true; // cannot tell
    }
    std::vector<std::wstring> names;
    auto call = [&](auto... buffer) {
        return enumPrinterDrivers_(nullptr, environment.data(), 1, buffer...);
    };
    auto toName = [](const DRIVER_INFO_1W& r) {
        return std::wstring(r.pName != nullptr ? r.pName : L"");
    };
    if (enumerateRecords<DRIVER_INFO_1W>(call, toName, names) != err::Success) {
        return true;
    }
    return std::any_of(names.begin(), names.end(), [&](const std::wstring& listed) {
        return CompareStringOrdinal(listed.c_str(), -1, name.c_str(), -1, TRUE) == CSTR_EQUAL;
    });
}

WinError Win32Spooler::closePrinter(std::uintptr_t handle) {
    if (load(); closePrinter_ == nullptr) {
        return unavailable();
    }
    if (!closePrinter_(reinterpret_cast<HANDLE>(handle))) {
        return lastError();
    }
    return err::Success;
}

} // namespace vexo::win32
