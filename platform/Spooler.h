// The local print spooler. Enumerations return records; the two-call sizing lives inside
// the Windows implementation. Texts are UTF-8.
#pragma once

#include "platform/UniqueHandle.h"
#include "platform/Win32Constants.h"

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace vexo {

// An owner window for a port monitor's dialog (the platform's window handle, 0 for none).
using NativeWindow = std::uintptr_t;

struct PortInfo2 {
    std::string portName;
    std::string monitorName;
    std::string description;
    std::uint32_t portType = 0;
};

struct MonitorInfo1 {
    std::optional<std::string> name; // a spooler may report an entry without a name
};

struct PrinterInfo2 {
    std::string serverName;
    std::string printerName;
    std::string shareName;
    std::string portName;
    std::string driverName;
    std::string comment;
    std::string location;
    std::string sepFile;
    std::string printProcessor;
    std::string datatype;
    std::string parameters;
    std::uint32_t attributes = 0;
    std::uint32_t priority = 0;
    std::uint32_t defaultPriority = 0;
    std::uint32_t startTime = 0;
    std::uint32_t untilTime = 0;
    std::uint32_t status = 0;
    std::uint32_t jobs = 0;
    std::uint32_t averagePpm = 0;
};

// PRINTER_INFO_2's Attributes: the printer is shared under its share name.
inline constexpr std::uint32_t kPrinterAttributeShared = 0x8; // PRINTER_ATTRIBUTE_SHARED

// A registered driver as the spooler lists it (DRIVER_INFO_2).
struct DriverInfo2 {
    std::uint32_t version = 0;
    std::string name;
    std::string environment;
    std::string driverPath;
    std::string dataFile;
    std::string configFile;
};

// A driver to register (DRIVER_INFO_3: DRIVER_INFO_2's fields, then these).
struct DriverInfo3 : DriverInfo2 {
    std::string helpFile;
    std::vector<std::string> dependentFiles; // passed as a NUL-separated, NUL-ended list
    std::string monitorName;                 // empty text, not absent
    std::string defaultDataType;
};

// A port of the Standard TCP/IP Port monitor, with the settings its PORT_DATA_1 carries.
struct TcpPort {
    std::string name;           // "IP_10.0.0.20"
    std::string host;           // an IPv4 address or a host name
    std::uint32_t protocol = 1; // kTcpRaw or kTcpLpr
    std::uint32_t portNumber = 0;
    std::string queue; // LPR
    bool snmp = false;
    std::string snmpCommunity;
    std::uint32_t snmpDeviceIndex = 0;
};

inline constexpr std::uint32_t kTcpRaw = 1; // PROTOCOL_RAWTCP_TYPE
inline constexpr std::uint32_t kTcpLpr = 2; // PROTOCOL_LPR_TYPE
inline constexpr const char* kTcpMonitor = "Standard TCP/IP Port";

// DeletePrinterDriverEx: also delete the driver's files that no other driver uses.
inline constexpr std::uint32_t kDeleteUnusedFiles = 0x1; // DPD_DELETE_UNUSED_FILES
// DeletePrinterDriverEx: delete only the version given, not every version of that name.
inline constexpr std::uint32_t kDeleteSpecificVersion = 0x2; // DPD_DELETE_SPECIFIC_VERSION

// A device mode (DEVMODEW) as the spooler or a driver gave it: `bytes` is the whole structure,
// the driver's private part after its public fields, and the fields below are read from it.
// Set fields reach the bytes only through the driver (Spooler::driverDevMode), which merges
// and checks them.
struct DevMode {
    std::vector<std::uint8_t> bytes;
    std::uint32_t fields = 0;     // dmFields: which fields hold a value (dm::PaperSize, ...)
    std::int16_t paperSize = 0;   // a DMPAPER_ number
    std::int16_t orientation = 0; // dm::Portrait, dm::Landscape
    std::int16_t duplex = 0;      // dm::Simplex, dm::LongEdge, dm::ShortEdge
    std::int16_t color = 0;       // dm::Monochrome, dm::InColor
};

class Spooler;

// A printer handle returned by addPrinter; closes itself.
using PrinterHandle = OwnedHandle<Spooler>;

class Spooler {
  public:
    virtual ~Spooler() = default;

    [[nodiscard]] virtual WinError enumPorts(std::vector<PortInfo2>& ports) = 0;
    [[nodiscard]] virtual WinError enumMonitors(std::vector<MonitorInfo1>& monitors) = 0;
    [[nodiscard]] virtual WinError enumPrinters(std::uint32_t flags,
                                                std::vector<PrinterInfo2>& printers) = 0;
    [[nodiscard]] virtual WinError getPrinterDriverDirectory(const std::string& environment,
                                                             std::string& directory) = 0;
    [[nodiscard]] virtual WinError addPrinterDriver(const DriverInfo3& driver) = 0;
    [[nodiscard]] virtual WinError addPrinter(const PrinterInfo2& printer,
                                              PrinterHandle& handle) = 0;
    [[nodiscard]] virtual WinError addPort(NativeWindow owner, const std::string& monitor) = 0;
    [[nodiscard]] virtual WinError configurePort(NativeWindow owner, const std::string& port) = 0;
    // The drivers registered for `environment` (EnumPrinterDrivers, level 2).
    [[nodiscard]] virtual WinError enumPrinterDrivers(const std::string& environment,
                                                      std::vector<DriverInfo2>& drivers) = 0;
    // Opens the printer `name` and reads it back (OpenPrinter, GetPrinter level 2).
    // err::InvalidPrinterName when there is no such printer.
    [[nodiscard]] virtual WinError getPrinter(const std::string& name, PrinterInfo2& printer) = 0;
    // Opens the printer `printer.printerName` with full access and sets it to `printer`
    // (SetPrinter level 2). Its security descriptor and device mode stay as they are.
    [[nodiscard]] virtual WinError setPrinter(const PrinterInfo2& printer) = 0;
    // Opens the printer `name` with full access and deletes it (OpenPrinter, DeletePrinter);
    // a printer with jobs is only marked for deletion and goes when they end.
    // err::InvalidPrinterName when there is no such printer.
    [[nodiscard]] virtual WinError deletePrinter(const std::string& name) = 0;
    // DeletePrinterDriverEx on the local machine; `version` counts only with
    // kDeleteSpecificVersion. err::UnknownPrinterDriver when no such driver is registered,
    // err::PrinterDriverInUse while a printer uses it.
    [[nodiscard]] virtual WinError deletePrinterDriver(const std::string& environment,
                                                       const std::string& name,
                                                       std::uint32_t deleteFlags,
                                                       std::uint32_t version) = 0;

    // Has the Standard TCP/IP Port monitor add `port` (OpenPrinter ",XcvMonitor ..." with
    // SERVER_ACCESS_ADMINISTER, XcvData "AddPort"): the monitor's status, or the error of a
    // call that failed. err::AlreadyExists when a port of that name exists.
    [[nodiscard]] virtual WinError addTcpPort(const TcpPort& port) = 0;
    // Reads the settings of the Standard TCP/IP port `name` back (OpenPrinter ",XcvPort
    // NAME", XcvData "GetConfigInfo").
    [[nodiscard]] virtual WinError getTcpPort(const std::string& name, TcpPort& port) = 0;
    // Has the Standard TCP/IP Port monitor delete its port `name` (XcvData "DeletePort" with
    // DELETE_PORT_DATA_1, version 1): the monitor's status, or the error of a call that failed.
    [[nodiscard]] virtual WinError deleteTcpPort(const std::string& name) = 0;

    // The printer's device mode at `level` (GetPrinter level dm::EveryUserLevel, the global
    // default, or dm::ThisUserLevel), none when it has none there.
    [[nodiscard]] virtual WinError getPrinterDevMode(const std::string& name, std::uint32_t level,
                                                     std::optional<DevMode>& devMode) = 0;
    // Opens the printer with `access` and sets its device mode at `level` to `bytes` as they
    // are (SetPrinter level 8 or 9); err::InvalidData for bytes that are no device mode.
    [[nodiscard]] virtual WinError setPrinterDevMode(const std::string& name, std::uint32_t access,
                                                     std::uint32_t level,
                                                     const std::vector<std::uint8_t>& bytes) = 0;
    // The device mode of the printer's driver (DocumentProperties): without `in` its defaults,
    // which may be the calling account's own (DM_OUT_BUFFER); with `in`, `in`'s fields written
    // into its bytes, merged and checked by the driver (DM_IN_BUFFER | DM_OUT_BUFFER).
    [[nodiscard]] virtual WinError driverDevMode(const std::string& name, const DevMode* in,
                                                 DevMode& out) = 0;
    // What the printer's driver offers (DeviceCapabilities): for dm::DcPapers the paper
    // numbers, for the other questions the one answer.
    [[nodiscard]] virtual WinError deviceCapabilities(const std::string& name,
                                                      std::uint16_t question,
                                                      std::vector<std::int32_t>& answer) = 0;

  protected:
    virtual WinError closePrinter(std::uintptr_t handle) = 0;

  private:
    friend struct ClosedByOwner<Spooler>;
    static WinError closeOwned(Spooler& spooler, std::uintptr_t handle) {
        return spooler.closePrinter(handle);
    }
};

} // namespace vexo
