#include "tests/sim/SimSpooler.h"

#include "tests/sim/Utf.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <tuple>

namespace vexo::sim {

SimSpooler::SimSpooler(Faults& faults, SimRegistry& registry, SimSystem& system)
    : faults_(faults), registry_(registry), system_(system) {
    monitors_.push_back(MonitorInfo1{"Local Port"});
    monitors_.push_back(MonitorInfo1{"Standard TCP/IP Port"});
    for (const char* p : {"COM1:", "COM2:", "COM3:", "COM4:", "FILE:", "LPT1:", "LPT2:", "LPT3:"}) {
        addLocalPort(p);
    }
    setDriverDirectory("Windows NT x86", "C:\\Windows\\system32\\spool\\drivers\\w32x86");
    setDriverDirectory("Windows x64", "C:\\Windows\\system32\\spool\\drivers\\x64");
    setDriverDirectory("Windows ARM64", "C:\\Windows\\system32\\spool\\drivers\\arm64");
}

void SimSpooler::addLocalPort(const std::string& name, const std::string& description) {
    ports_.push_back(PortInfo2{name, "Local Port", description, 0});
}

void SimSpooler::setDriverDirectory(const std::string& environment,
                                    const std::string& windowsPath) {
    driverDirectories_[environment] = windowsPath;
}

WinError SimSpooler::enumPorts(std::vector<PortInfo2>& ports) {
    if (auto e = faults_.check("EnumPorts", "")) {
        return faults_.deliver(*e);
    }
    ports = ports_;
    return err::Success;
}

WinError SimSpooler::enumMonitors(std::vector<MonitorInfo1>& monitors) {
    if (auto e = faults_.check("EnumMonitors", "")) {
        return faults_.deliver(*e);
    }
    monitors = monitors_;
    return err::Success;
}

WinError SimSpooler::enumPrinters(std::uint32_t flags, std::vector<PrinterInfo2>& printers) {
    if (auto e = faults_.check("EnumPrinters", std::to_string(flags))) {
        return faults_.deliver(*e);
    }
    printers.clear();
    for (const Printer& p : printers_) {
        PrinterInfo2 info = listed(p);
        if (connectedPort_ && info.portName == *connectedPort_) {
            registry_.put(RegRoot::CurrentConfig, kPrintersKey + info.printerName, "PrinterOnLine",
                          onLineValue_);
        }
        printers.push_back(info);
    }
    return err::Success;
}

PrinterInfo2 SimSpooler::listed(const Printer& printer) const {
    PrinterInfo2 info = printer.info;
    // The port the printer's keys name now (they may have been rewritten directly).
    if (auto port = registry_.get(RegRoot::LocalMachine, kPrintersKey + info.printerName, "Port")) {
        info.portName = regText(port->data);
    }
    return info;
}

std::vector<SimSpooler::Printer>::iterator SimSpooler::findPrinter(const std::string& name) {
    return std::find_if(printers_.begin(), printers_.end(), [&](const Printer& p) {
        return equalsIgnoringCase(p.info.printerName, name);
    });
}

WinError SimSpooler::getPrinter(const std::string& name, PrinterInfo2& printer) {
    if (auto e = faults_.check("GetPrinter", name)) {
        return faults_.deliver(*e);
    }
    auto it = findPrinter(name);
    if (it == printers_.end()) {
        faults_.record(err::InvalidPrinterName);
        return err::InvalidPrinterName;
    }
    printer = listed(*it);
    return err::Success;
}

WinError SimSpooler::setPrinter(const PrinterInfo2& printer) {
    if (auto e = faults_.check("SetPrinter", printer.printerName, {printer.portName})) {
        return faults_.deliver(*e);
    }
    auto it = findPrinter(printer.printerName);
    WinError e = it == printers_.end() ? err::InvalidPrinterName : refusal(printer);
    if (e != err::Success) {
        faults_.record(e);
        return e;
    }
    PrinterInfo2 kept = it->info;
    it->info = printer;
    it->info.printerName = kept.printerName; // the name as it was created
    it->info.jobs = kept.jobs;
    it->info.status = kept.status;
    writeKeys(it->info);
    return err::Success;
}

WinError SimSpooler::getPrinterDriverDirectory(const std::string& environment,
                                               std::string& directory) {
    if (auto e = faults_.check("GetPrinterDriverDirectory", environment)) {
        return faults_.deliver(*e);
    }
    auto it = driverDirectories_.find(environment);
    if (it == driverDirectories_.end()) {
        faults_.record(err::InvalidEnvironment);
        return err::InvalidEnvironment;
    }
    directory = it->second;
    return err::Success;
}

std::optional<fs::path> SimSpooler::hostFileOf(const std::string& environment,
                                               const std::string& path) const {
    auto it = driverDirectories_.find(environment);
    if (it == driverDirectories_.end()) {
        return std::nullopt;
    }
    std::string name = path;
    if (auto slash = name.find_last_of('\\'); slash != std::string::npos) {
        name = name.substr(slash + 1);
    }
    return system_.hostPath(it->second + "\\" + name);
}

bool SimSpooler::fileInDriverDirectory(const std::string& environment,
                                       const std::string& path) const {
    auto host = hostFileOf(environment, path);
    std::error_code ec;
    return host && fs::is_regular_file(*host, ec);
}

WinError SimSpooler::addPrinterDriver(const DriverInfo3& driver) {
    if (auto e = faults_.check("AddPrinterDriver", driver.name)) {
        return faults_.deliver(*e);
    }
    if (driverDirectories_.count(driver.environment) == 0) {
        faults_.record(err::InvalidEnvironment);
        return err::InvalidEnvironment;
    }
    // The spooler takes the driver's files from its driver directory.
    std::vector<std::string> files{driver.driverPath, driver.dataFile, driver.configFile};
    if (!driver.helpFile.empty()) {
        files.push_back(driver.helpFile);
    }
    files.insert(files.end(), driver.dependentFiles.begin(), driver.dependentFiles.end());
    for (const std::string& f : files) {
        if (!fileInDriverDirectory(driver.environment, f)) {
            faults_.record(err::FileNotFound);
            return err::FileNotFound;
        }
    }
    auto same = [&](const DriverInfo3& d) {
        return equalsIgnoringCase(d.name, driver.name) && d.environment == driver.environment;
    };
    drivers_.erase(std::remove_if(drivers_.begin(), drivers_.end(), same), drivers_.end());
    drivers_.push_back(driver);
    return err::Success;
}

WinError SimSpooler::addPrinter(const PrinterInfo2& printer, PrinterHandle& handle) {
    if (auto e = faults_.check("AddPrinter", printer.printerName)) {
        return faults_.deliver(*e);
    }
    auto fail = [&](WinError e) {
        faults_.record(e);
        return e;
    };
    if (printer.printerName.empty() ||
        printer.printerName.find_first_of(",!\\") != std::string::npos) {
        return fail(err::InvalidPrinterName);
    }
    if (findPrinter(printer.printerName) != printers_.end()) {
        return fail(err::PrinterAlreadyExists);
    }
    if (WinError e = refusal(printer); e != err::Success) {
        return fail(e);
    }
    putPrinter(printer);
    ++openPrinters_;
    handle = PrinterHandle(nextHandle_++, {this});
    return err::Success;
}

WinError SimSpooler::refusal(const PrinterInfo2& printer) const {
    bool driverKnown = std::any_of(drivers_.begin(), drivers_.end(), [&](const DriverInfo3& d) {
        return equalsIgnoringCase(d.name, printer.driverName);
    });
    if (!driverKnown) {
        return err::UnknownPrinterDriver;
    }
    if (printer.portName.empty()) {
        return err::InvalidParameter;
    }
    bool portKnown = std::any_of(ports_.begin(), ports_.end(), [&](const PortInfo2& p) {
        return equalsIgnoringCase(p.portName, printer.portName);
    });
    return portKnown ? err::Success : err::UnknownPort;
}

void SimSpooler::putPrinter(const PrinterInfo2& printer) {
    printers_.push_back(Printer{printer, driversDevMode(printer.driverName, nullptr)});
    writeKeys(printer);
}

void SimSpooler::writeKeys(const PrinterInfo2& printer) {
    const std::string& n = printer.printerName;
    registry_.putText(RegRoot::LocalMachine, kPrintersKey + n, "Name", n);
    registry_.putText(RegRoot::LocalMachine, kPrintersKey + n, "Port", printer.portName);
    registry_.putText(RegRoot::LocalMachine, kPrintersKey + n, "Printer Driver",
                      printer.driverName);
    registry_.putText(RegRoot::LocalMachine, kPrintersSoftwareKey + n, "Name", n);
    registry_.putText(RegRoot::LocalMachine, kPrintersSoftwareKey + n + "\\DsSpooler", "portName",
                      printer.portName);
}

WinError SimSpooler::enumPrinterDrivers(const std::string& environment,
                                        std::vector<DriverInfo2>& drivers) {
    if (auto e = faults_.check("EnumPrinterDrivers", environment)) {
        return faults_.deliver(*e);
    }
    if (driverDirectories_.count(environment) == 0) {
        faults_.record(err::InvalidEnvironment);
        return err::InvalidEnvironment;
    }
    drivers.clear();
    for (const DriverInfo3& d : drivers_) {
        if (d.environment == environment) {
            drivers.push_back(d); // as DRIVER_INFO_2 lists it
        }
    }
    return err::Success;
}

WinError SimSpooler::deletePrinter(const std::string& name) {
    if (auto e = faults_.check("DeletePrinter", name)) {
        return faults_.deliver(*e);
    }
    auto it = findPrinter(name);
    if (it == printers_.end()) {
        faults_.record(err::InvalidPrinterName);
        return err::InvalidPrinterName;
    }
    if (it->info.jobs > 0) {
        it->info.status |= kStatusPendingDeletion;
        return err::Success;
    }
    const std::string stored = it->info.printerName;
    printers_.erase(it);
    registry_.removeKey(RegRoot::LocalMachine, kPrintersKey + stored);
    registry_.removeKey(RegRoot::LocalMachine, kPrintersSoftwareKey + stored);
    return err::Success;
}

WinError SimSpooler::deletePrinterDriver(const std::string& environment, const std::string& name,
                                         std::uint32_t deleteFlags, std::uint32_t version) {
    if (auto e =
            faults_.check("DeletePrinterDriverEx", name,
                          {environment, std::to_string(deleteFlags), std::to_string(version)})) {
        return faults_.deliver(*e);
    }
    auto fail = [&](WinError e) {
        faults_.record(e);
        return e;
    };
    const bool specific = (deleteFlags & kDeleteSpecificVersion) != 0;
    auto it = std::find_if(drivers_.begin(), drivers_.end(), [&](const DriverInfo3& d) {
        return equalsIgnoringCase(d.name, name) && d.environment == environment &&
               (!specific || d.version == version);
    });
    if (it == drivers_.end()) {
        return fail(driverDirectories_.count(environment) == 0 ? err::InvalidEnvironment
                                                               : err::UnknownPrinterDriver);
    }
    if (std::any_of(printers_.begin(), printers_.end(), [&](const Printer& p) {
            return equalsIgnoringCase(p.info.driverName, name);
        })) {
        return fail(err::PrinterDriverInUse);
    }
    auto filesOf = [](const DriverInfo3& d) {
        std::vector<std::string> files{d.driverPath, d.dataFile, d.configFile, d.helpFile};
        files.insert(files.end(), d.dependentFiles.begin(), d.dependentFiles.end());
        return files;
    };
    const DriverInfo3 removed = *it;
    drivers_.erase(it);
    if ((deleteFlags & kDeleteUnusedFiles) == 0) {
        return err::Success;
    }
    auto baseName = [](const std::string& path) {
        auto slash = path.find_last_of('\\');
        return slash == std::string::npos ? path : path.substr(slash + 1);
    };
    for (const std::string& file : filesOf(removed)) {
        if (file.empty()) {
            continue;
        }
        bool shared = std::any_of(drivers_.begin(), drivers_.end(), [&](const DriverInfo3& d) {
            if (d.environment != environment) {
                return false;
            }
            auto others = filesOf(d);
            return std::any_of(others.begin(), others.end(), [&](const std::string& f) {
                return equalsIgnoringCase(baseName(f), baseName(file));
            });
        });
        if (auto host = hostFileOf(environment, file); host && !shared) {
            std::error_code ec;
            fs::remove(*host, ec);
        }
    }
    return err::Success;
}

namespace {

// The simulated drivers' device mode: its fields as text, then the driver's private part.
constexpr const char* kDevModeText =
    "fields 0x%X, paper %hd, orientation %hd, duplex %hd, color %hd";

std::optional<DevMode> decoded(const std::vector<std::uint8_t>& bytes) {
    DevMode d{bytes};
    const std::string text(bytes.begin(), bytes.end());
    return std::sscanf(text.c_str(), kDevModeText, &d.fields, &d.paperSize, &d.orientation,
                       &d.duplex, &d.color) == 5
               ? std::optional(d)
               : std::nullopt;
}

} // namespace

std::vector<std::uint8_t> SimSpooler::driversDevMode(const std::string& driver,
                                                     const DevMode* in) const {
    const auto found = driverModels_.find(driver);
    const DriverModel m = found == driverModels_.end() ? DriverModel{} : found->second;
    DevMode d{{}, dm::Orientation | dm::PaperSize | dm::Duplex | dm::Color};
    d.paperSize = static_cast<std::int16_t>(m.papers.front());
    d.orientation = dm::Portrait;
    d.duplex = dm::Simplex;
    d.color = dm::InColor;
    for (auto [bit, field, offered] :
         {std::tuple{dm::PaperSize, &DevMode::paperSize,
                     in && std::count(m.papers.begin(), m.papers.end(), in->paperSize) != 0},
          {dm::Orientation, &DevMode::orientation,
           in && in->orientation >= dm::Portrait && in->orientation <= dm::Landscape},
          {dm::Duplex, &DevMode::duplex,
           in && in->duplex >= dm::Simplex && in->duplex <= dm::ShortEdge},
          {dm::Color, &DevMode::color,
           in && in->color >= dm::Monochrome && in->color <= dm::InColor}}) {
        if (offered && (in->fields & bit & m.honoured) != 0) {
            d.*field = (*in).*field;
        }
    }
    char text[128];
    std::snprintf(text, sizeof text, kDevModeText, d.fields, d.paperSize, d.orientation, d.duplex,
                  d.color);
    const std::string bytes = std::string(text) + "; private of " + driver;
    return {bytes.begin(), bytes.end()};
}

WinError SimSpooler::getPrinterDevMode(const std::string& name, std::uint32_t level,
                                       std::optional<DevMode>& devMode) {
    if (auto e = faults_.check("GetPrinter", name + " level " + std::to_string(level))) {
        return faults_.deliver(*e);
    }
    auto it = findPrinter(name);
    // It keeps no user's own device mode (level 9): ERROR_INVALID_LEVEL.
    const WinError e = it == printers_.end()         ? err::InvalidPrinterName
                       : level != dm::EveryUserLevel ? 124
                                                     : err::Success;
    if (e != err::Success) {
        faults_.record(e);
        return e;
    }
    devMode = it->everyUser ? decoded(*it->everyUser) : std::nullopt;
    return err::Success;
}

WinError SimSpooler::setPrinterDevMode(const std::string& name, std::uint32_t access,
                                       std::uint32_t level,
                                       const std::vector<std::uint8_t>& bytes) {
    if (auto e = faults_.check("SetPrinter", name + " level " + std::to_string(level))) {
        return faults_.deliver(*e);
    }
    auto it = findPrinter(name);
    // Every user's device mode takes the right to administer the printer.
    const WinError e = it == printers_.end()         ? err::InvalidPrinterName
                       : level != dm::EveryUserLevel ? 124
                       : (access & 0x4) == 0         ? err::AccessDenied
                       : !decoded(bytes)             ? err::InvalidData
                                                     : err::Success;
    if (e != err::Success) {
        faults_.record(e);
        return e;
    }
    it->everyUser = bytes;
    return err::Success;
}

WinError SimSpooler::driverDevMode(const std::string& name, const DevMode* in, DevMode& out) {
    if (auto e = faults_.check("DocumentProperties", name)) {
        return faults_.deliver(*e);
    }
    auto it = findPrinter(name);
    const WinError e = it == printers_.end()                  ? err::InvalidPrinterName
                       : in != nullptr && !decoded(in->bytes) ? err::InvalidData
                                                              : err::Success;
    if (e != err::Success) {
        faults_.record(e);
        return e;
    }
    out = *decoded(in == nullptr && it->everyUser ? *it->everyUser
                                                  : driversDevMode(it->info.driverName, in));
    return err::Success;
}

WinError SimSpooler::deviceCapabilities(const std::string& name, std::uint16_t question,
                                        std::vector<std::int32_t>& answer) {
    if (auto e = faults_.check("DeviceCapabilities", name, {std::to_string(question)})) {
        return faults_.deliver(*e);
    }
    auto it = findPrinter(name);
    if (it == printers_.end()) {
        faults_.record(err::InvalidPrinterName);
        return err::InvalidPrinterName;
    }
    const DriverModel& m = driverModel(it->info.driverName);
    answer = question == dm::DcPapers
                 ? m.papers
                 : std::vector<std::int32_t>{question == dm::DcOrientation ? 90 : 1};
    return err::Success;
}

std::vector<std::string> SimSpooler::dump() const {
    auto q = [](const std::string& s) { return "\"" + s + "\""; };
    std::vector<std::string> lines;
    for (const PortInfo2& p : ports_) {
        lines.push_back("port " + q(p.portName) + ": monitor " + q(p.monitorName) +
                        ", description " + q(p.description) + ", type " +
                        std::to_string(p.portType));
    }
    for (const TcpPort& p : tcpPorts_) {
        lines.push_back("TCP/IP port " + q(p.name) + ": host " + q(p.host) + ", protocol " +
                        std::to_string(p.protocol) + ", port number " +
                        std::to_string(p.portNumber) + ", queue " + q(p.queue) + ", SNMP " +
                        std::to_string(p.snmp) + " " + q(p.snmpCommunity) + " " +
                        std::to_string(p.snmpDeviceIndex));
    }
    for (const MonitorInfo1& m : monitors_) {
        lines.push_back("monitor " + (m.name ? q(*m.name) : "(no name)"));
    }
    for (const DriverInfo3& d : drivers_) {
        std::string id = "driver " + q(d.name) + " for " + q(d.environment) + ": ";
        lines.push_back(id + "version " + std::to_string(d.version) + ", monitor " +
                        q(d.monitorName) + ", data type " + q(d.defaultDataType));
        lines.push_back(id + "driver " + d.driverPath);
        lines.push_back(id + "data " + d.dataFile);
        lines.push_back(id + "configuration " + d.configFile);
        lines.push_back(id + "help " + d.helpFile);
        std::string dependent;
        for (const std::string& f : d.dependentFiles) {
            dependent += " " + q(f);
        }
        lines.push_back(id + "dependent" + dependent);
    }
    for (const Printer& p : printers_) {
        const PrinterInfo2& i = p.info;
        lines.push_back("printer " + q(i.printerName) + ": port " + q(i.portName) + ", driver " +
                        q(i.driverName) + ", processor " + q(i.printProcessor) + ", data type " +
                        q(i.datatype) + ", attributes " + std::to_string(i.attributes));
        std::string rest;
        for (const auto& [field, text] : {std::pair{"server", i.serverName},
                                          {"share", i.shareName},
                                          {"comment", i.comment},
                                          {"location", i.location},
                                          {"separator page", i.sepFile},
                                          {"parameters", i.parameters}}) {
            rest += text.empty() ? "" : std::string(", ") + field + " " + q(text);
        }
        for (const auto& [field, n] : {std::pair{"priority", i.priority},
                                       {"default priority", i.defaultPriority},
                                       {"start", i.startTime},
                                       {"until", i.untilTime},
                                       {"status", i.status},
                                       {"jobs", i.jobs},
                                       {"pages per minute", i.averagePpm}}) {
            rest += n == 0 ? "" : std::string(", ") + field + " " + std::to_string(n);
        }
        if (!rest.empty()) {
            lines.push_back("printer " + q(i.printerName) + ": also" + rest.substr(1));
        }
        // A device mode, where it is not the one the driver gives every new printer.
        if (p.everyUser && *p.everyUser != driversDevMode(i.driverName, nullptr)) {
            lines.push_back("printer " + q(i.printerName) + ": device mode for every user: " +
                            std::string(p.everyUser->begin(), p.everyUser->end()));
        }
    }
    for (const std::string& port : configuredPorts()) {
        lines.push_back("configured port " + q(port));
    }
    lines.push_back("open printers: " + std::to_string(openPrinters_));
    return lines;
}

WinError SimSpooler::closePrinter(std::uintptr_t) {
    if (auto e = faults_.check("ClosePrinter", "")) {
        return faults_.deliver(*e);
    }
    if (openPrinters_ > 0) {
        --openPrinters_;
    }
    return err::Success;
}

WinError SimSpooler::addPort(NativeWindow, const std::string& monitor) {
    if (auto e = faults_.check("AddPort", monitor)) {
        return faults_.deliver(*e);
    }
    bool known = std::any_of(monitors_.begin(), monitors_.end(),
                             [&](const MonitorInfo1& m) { return m.name && *m.name == monitor; });
    if (!known) {
        faults_.record(err::UnknownPrintMonitor);
        return err::UnknownPrintMonitor;
    }
    if (newPorts_.empty()) {
        faults_.record(err::Cancelled);
        return err::Cancelled;
    }
    std::string name = newPorts_.front();
    newPorts_.pop_front();
    ports_.push_back(PortInfo2{name, monitor, monitor == "Local Port" ? "Local Port" : monitor, 0});
    return err::Success;
}

WinError SimSpooler::addTcpPort(const TcpPort& port) {
    if (auto e = faults_.check("XcvData", "AddPort " + port.name)) {
        return faults_.deliver(*e);
    }
    auto fail = [&](WinError e) {
        faults_.record(e);
        return e;
    };
    if (std::none_of(monitors_.begin(), monitors_.end(),
                     [](const MonitorInfo1& m) { return m.name == kTcpMonitor; })) {
        return fail(err::UnknownPort);
    }
    if (std::any_of(ports_.begin(), ports_.end(), [&](const PortInfo2& p) {
            return equalsIgnoringCase(p.portName, port.name);
        })) {
        return fail(err::AlreadyExists);
    }
    tcpPorts_.push_back(port);
    ports_.push_back(PortInfo2{port.name, kTcpMonitor, kTcpMonitor, 0});
    return err::Success;
}

WinError SimSpooler::getTcpPort(const std::string& name, TcpPort& port) {
    if (auto e = faults_.check("XcvData", "GetConfigInfo " + name)) {
        return faults_.deliver(*e);
    }
    auto it = std::find_if(tcpPorts_.begin(), tcpPorts_.end(),
                           [&](const TcpPort& p) { return equalsIgnoringCase(p.name, name); });
    if (it == tcpPorts_.end()) {
        faults_.record(err::UnknownPort);
        return err::UnknownPort;
    }
    port = *it;
    return err::Success;
}

WinError SimSpooler::deleteTcpPort(const std::string& name) {
    if (auto e = faults_.check("XcvData", "DeletePort " + name)) {
        return faults_.deliver(*e);
    }
    auto fail = [&](WinError e) {
        faults_.record(e);
        return e;
    };
    auto it = std::find_if(tcpPorts_.begin(), tcpPorts_.end(),
                           [&](const TcpPort& p) { return equalsIgnoringCase(p.name, name); });
    if (it == tcpPorts_.end()) {
        return fail(err::UnknownPort);
    }
    if (std::any_of(printers_.begin(), printers_.end(), [&](const Printer& p) {
            return equalsIgnoringCase(listed(p).portName, name);
        })) {
        return fail(170); // ERROR_BUSY
    }
    tcpPorts_.erase(it);
    std::erase_if(ports_, [&](const PortInfo2& p) { return equalsIgnoringCase(p.portName, name); });
    return err::Success;
}

WinError SimSpooler::configurePort(NativeWindow, const std::string& port) {
    if (auto e = faults_.check("ConfigurePort", port)) {
        return faults_.deliver(*e);
    }
    bool known = std::any_of(ports_.begin(), ports_.end(),
                             [&](const PortInfo2& p) { return p.portName == port; });
    if (!known) {
        faults_.record(err::UnknownPort);
        return err::UnknownPort;
    }
    return err::Success;
}

} // namespace vexo::sim
