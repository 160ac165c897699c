#include "platform/win32/Win32Spooler.h"

#include "platform/win32/SpoolerRecords.h"
#include "platform/win32/TcpPortData.h"
#include "platform/win32/WideText.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <cwchar>
#include <utility>

namespace vexo::win32 {

namespace {

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
        WinError firstError = lastErrorOr();
        std::wstring directory = systemDirectory();
        if (!directory.empty()) {
            std::wstring path = directory + L"\\winspool.drv";
            module = LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
        }
        if (module == nullptr) {
            loadError_ = directory.empty() ? firstError : lastErrorOr();
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
    enumPrinterDrivers_ =
        lookupFunction<decltype(enumPrinterDrivers_)>(module, "EnumPrinterDriversW");
    openPrinter_ = lookupFunction<decltype(openPrinter_)>(module, "OpenPrinterW");
    getPrinter_ = lookupFunction<decltype(getPrinter_)>(module, "GetPrinterW");
    setPrinter_ = lookupFunction<decltype(setPrinter_)>(module, "SetPrinterW");
    deletePrinter_ = lookupFunction<decltype(deletePrinter_)>(module, "DeletePrinter");
    deletePrinterDriverEx_ =
        lookupFunction<decltype(deletePrinterDriverEx_)>(module, "DeletePrinterDriverExW");
    xcvData_ = lookupFunction<decltype(xcvData_)>(module, "XcvDataW");
    documentProperties_ =
        lookupFunction<decltype(documentProperties_)>(module, "DocumentPropertiesW");
    deviceCapabilities_ =
        lookupFunction<decltype(deviceCapabilities_)>(module, "DeviceCapabilitiesW");
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
        WinError e = lastErrorOr();
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
        return lastErrorOr();
    }
    return err::Success;
}

WinError Win32Spooler::addPrinter(const PrinterInfo2& printer, PrinterHandle& handle) {
    handle.reset();
    if (load(); addPrinter_ == nullptr) {
        return unavailable();
    }
    WideArguments args;
    PRINTER_INFO_2W info = printerRecord(args, printer);
    if (!args.ok()) {
        return ERROR_NO_UNICODE_TRANSLATION;
    }
    HANDLE printerHandle = addPrinter_(nullptr, 2, reinterpret_cast<LPBYTE>(&info));
    if (printerHandle == nullptr) {
        return lastErrorOr();
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
        return lastErrorOr();
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

WinError Win32Spooler::enumPrinterDrivers(const std::string& environment,
                                          std::vector<DriverInfo2>& drivers) {
    if (load(); enumPrinterDrivers_ == nullptr) {
        return unavailable();
    }
    auto wideEnvironment = tryWiden(environment);
    if (!wideEnvironment) {
        return ERROR_NO_UNICODE_TRANSLATION;
    }
    auto call = [&](auto... buffer) {
        return enumPrinterDrivers_(nullptr, wideEnvironment->data(), 2, buffer...);
    };
    return enumerateRecords<DRIVER_INFO_2W>(call, toDriverInfo, drivers);
}

WinError Win32Spooler::openPrinter(const std::string& name, std::uint32_t access,
                                   PrinterHandle& printer) {
    auto wideName = tryWiden(name);
    if (!wideName) {
        return ERROR_NO_UNICODE_TRANSLATION;
    }
    PRINTER_DEFAULTSW defaults{nullptr, nullptr, access};
    HANDLE raw = nullptr;
    if (!openPrinter_(wideName->data(), &raw, &defaults)) {
        return lastErrorOr();
    }
    printer = PrinterHandle(reinterpret_cast<std::uintptr_t>(raw), {this});
    return err::Success;
}

WinError Win32Spooler::readPrinter(const std::string& name, std::uint32_t level,
                                   std::size_t recordSize, std::vector<std::byte>& buffer) {
    if (load(); !allFound(openPrinter_, getPrinter_, closePrinter_)) {
        return unavailable();
    }
    PrinterHandle handle;
    if (WinError e = openPrinter(name, PRINTER_ACCESS_USE, handle); e != err::Success) {
        return e;
    }
    // One record, sized as an enumeration is: no buffer first, then the size asked for.
    const auto raw = reinterpret_cast<HANDLE>(handle.get());
    std::uint32_t count = 0;
    WinError e = enumerateTwoCalls(
        [&](std::byte* data, std::uint32_t size, std::uint32_t* needed, std::uint32_t* got) {
            DWORD n = 0;
            const BOOL ok = getPrinter_(raw, level, reinterpret_cast<LPBYTE>(data), size, &n);
            *needed = n;
            *got = ok ? 1 : 0;
            return ok ? err::Success : lastErrorOr();
        },
        buffer, count);
    if (e == err::Success && (count == 0 || buffer.size() < recordSize)) {
        e = ERROR_INVALID_DATA; // a spooler that answered without a record
    }
    return e;
}

WinError Win32Spooler::getPrinter(const std::string& name, PrinterInfo2& printer) {
    std::vector<std::byte> buffer;
    PRINTER_INFO_2W record{};
    if (WinError e = readPrinter(name, 2, sizeof record, buffer); e != err::Success) {
        return e;
    }
    std::memcpy(&record, buffer.data(), sizeof record);
    printer = toPrinterInfo(record);
    return err::Success;
}

WinError Win32Spooler::setPrinter(const PrinterInfo2& printer) {
    if (load(); !allFound(openPrinter_, setPrinter_, closePrinter_)) {
        return unavailable();
    }
    WideArguments args;
    PRINTER_INFO_2W info = printerRecord(args, printer);
    if (!args.ok()) {
        return ERROR_NO_UNICODE_TRANSLATION;
    }
    PrinterHandle handle;
    if (WinError e = openPrinter(printer.printerName, PRINTER_ALL_ACCESS, handle);
        e != err::Success) {
        return e;
    }
    if (!setPrinter_(reinterpret_cast<HANDLE>(handle.get()), 2, reinterpret_cast<LPBYTE>(&info),
                     0)) {
        return lastErrorOr();
    }
    return err::Success;
}

WinError Win32Spooler::deletePrinter(const std::string& name) {
    if (load(); !allFound(openPrinter_, deletePrinter_, closePrinter_)) {
        return unavailable();
    }
    PrinterHandle printer;
    if (WinError e = openPrinter(name, PRINTER_ALL_ACCESS, printer); e != err::Success) {
        return e;
    }
    if (!deletePrinter_(reinterpret_cast<HANDLE>(printer.get()))) {
        return lastErrorOr();
    }
    return err::Success;
}

WinError Win32Spooler::deletePrinterDriver(const std::string& environment, const std::string& name,
                                           std::uint32_t deleteFlags, std::uint32_t version) {
    if (load(); deletePrinterDriverEx_ == nullptr) {
        return unavailable();
    }
    auto wideEnvironment = tryWiden(environment);
    auto wideName = tryWiden(name);
    if (!wideEnvironment || !wideName) {
        return ERROR_NO_UNICODE_TRANSLATION;
    }
    // A spooler that fails without saying why must not pass on an earlier call's error.
    SetLastError(ERROR_SUCCESS);
    if (!deletePrinterDriverEx_(nullptr, wideEnvironment->data(), wideName->data(), deleteFlags,
                                version)) {
        return lastErrorOr();
    }
    return err::Success;
}

WinError Win32Spooler::xcvData(const std::string& object, const wchar_t* command, void* input,
                               std::uint32_t inputSize, void* output, std::uint32_t outputSize) {
    if (load(); !allFound(openPrinter_, xcvData_, closePrinter_)) {
        return unavailable();
    }
    PrinterHandle xcv;
    if (WinError e = openPrinter(object, SERVER_ACCESS_ADMINISTER, xcv); e != err::Success) {
        return e;
    }
    DWORD needed = 0;
    DWORD status = 0;
    // TRUE means the monitor was called: its status is the outcome, whatever the last error
    // says (a spooler may leave an earlier call's there).
    if (!xcvData_(reinterpret_cast<HANDLE>(xcv.get()), command, static_cast<PBYTE>(input),
                  inputSize, static_cast<PBYTE>(output), outputSize, &needed, &status)) {
        return lastErrorOr();
    }
    return status;
}

WinError Win32Spooler::addTcpPort(const TcpPort& port) {
    TcpPortData data;
    if (!toPortData(port, data)) {
        return ERROR_INVALID_PARAMETER;
    }
    return xcvData(std::string(",XcvMonitor ") + kTcpMonitor, L"AddPort", &data, sizeof data,
                   nullptr, 0);
}

WinError Win32Spooler::getTcpPort(const std::string& name, TcpPort& port) {
    TcpConfigRequest request{};
    request.version = 1;
    TcpPortData data{};
    WinError e =
        xcvData(",XcvPort " + name, L"GetConfigInfo", &request, sizeof request, &data, sizeof data);
    if (e == err::Success) {
        fromPortData(data, port);
    }
    return e;
}

WinError Win32Spooler::deleteTcpPort(const std::string& name) {
    TcpDeletePortData data;
    if (!toDeletePortData(name, data)) {
        return ERROR_INVALID_PARAMETER;
    }
    return xcvData(std::string(",XcvMonitor ") + kTcpMonitor, L"DeletePort", &data, sizeof data,
                   nullptr, 0);
}

WinError Win32Spooler::closePrinter(std::uintptr_t handle) {
    if (load(); closePrinter_ == nullptr) {
        return unavailable();
    }
    if (!closePrinter_(reinterpret_cast<HANDLE>(handle))) {
        return lastErrorOr();
    }
    return err::Success;
}

} // namespace vexo::win32
