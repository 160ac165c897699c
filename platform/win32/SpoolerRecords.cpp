#include "platform/win32/SpoolerRecords.h"

#include "platform/win32/WideText.h"

#include <cstddef>
#include <utility>

namespace vexo::win32 {

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

DriverInfo2 toDriverInfo(const DRIVER_INFO_2W& r) {
    return DriverInfo2{
        r.cVersion,          narrow(r.pName),      narrow(r.pEnvironment), narrow(r.pDriverPath),
        narrow(r.pDataFile), narrow(r.pConfigFile)};
}

namespace {

constexpr std::size_t kDevModeMinimum = offsetof(DEVMODEW, dmLogPixels);

} // namespace

bool toDevMode(const BYTE* data, std::size_t available, DevMode& out) {
    if (data == nullptr || available < kDevModeMinimum) {
        return false;
    }
    DEVMODEW header{};
    std::memcpy(&header, data, std::min(available, sizeof header));
    const std::size_t size = std::size_t{header.dmSize} + header.dmDriverExtra;
    if (header.dmSize < kDevModeMinimum || size > available) {
        return false;
    }
    out.bytes.assign(data, data + size);
    out.fields = header.dmFields;
    out.paperSize = header.dmPaperSize;
    out.orientation = header.dmOrientation;
    out.duplex = header.dmDuplex;
    out.color = header.dmColor;
    return true;
}

std::vector<std::uint8_t> devModeBytes(const DevMode& devMode) {
    DevMode checked;
    if (!toDevMode(devMode.bytes.data(), devMode.bytes.size(), checked)) {
        return {};
    }
    DEVMODEW header{};
    std::memcpy(&header, checked.bytes.data(), kDevModeMinimum);
    header.dmFields = devMode.fields;
    header.dmPaperSize = devMode.paperSize;
    header.dmOrientation = devMode.orientation;
    header.dmDuplex = devMode.duplex;
    header.dmColor = devMode.color;
    std::memcpy(checked.bytes.data(), &header, kDevModeMinimum);
    return checked.bytes;
}

LPWSTR WideArguments::list(const std::vector<std::string>& entries) {
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

LPWSTR WideArguments::store(const std::string& utf8) {
    auto wide = tryWiden(utf8);
    if (!wide) {
        ok_ = false;
        wide.emplace();
    }
    return strings_.emplace_back(std::move(*wide)).data();
}

PRINTER_INFO_2W printerRecord(WideArguments& args, const PrinterInfo2& printer) {
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
    return info;
}

} // namespace vexo::win32
