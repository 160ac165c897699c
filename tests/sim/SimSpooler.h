// A simulated local print spooler: ports, monitors, drivers and printers, with a driver
// directory per environment that is a real host folder. Adding a printer writes the
// printer's registry keys as Windows' spooler does; enumerating the printers marks a
// printer on line in the current hardware profile when it is bound (through those keys)
// to the port where the simulated printer is connected.
#pragma once

#include "platform/Spooler.h"
#include "tests/sim/Faults.h"
#include "tests/sim/SimRegistry.h"
#include "tests/sim/SimSystem.h"

#include <deque>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace vexo::sim {

namespace fs = std::filesystem;

class SimSpooler final : public Spooler {
  public:
    SimSpooler(Faults& faults, SimRegistry& registry, SimSystem& system);

    WinError enumPorts(std::vector<PortInfo2>& ports) override;
    WinError enumMonitors(std::vector<MonitorInfo1>& monitors) override;
    WinError enumPrinters(std::uint32_t flags, std::vector<PrinterInfo2>& printers) override;
    WinError getPrinterDriverDirectory(const std::string& environment,
                                       std::string& directory) override;
    WinError addPrinterDriver(const DriverInfo3& driver) override;
    WinError addPrinter(const PrinterInfo2& printer, PrinterHandle& handle) override;
    WinError addPort(NativeWindow owner, const std::string& monitor) override;
    WinError configurePort(NativeWindow owner, const std::string& port) override;
    WinError enumPrinterDrivers(const std::string& environment,
                                std::vector<DriverInfo2>& drivers) override;
    // The printer as enumerated, its port the one its keys name.
    WinError getPrinter(const std::string& name, PrinterInfo2& printer) override;
    // Sets every field but the jobs and the status, and rewrites the printer's keys.
    WinError setPrinter(const PrinterInfo2& printer) override;
    // Deletes the printer and its keys; a printer with jobs is only marked for deletion (its
    // status). Like Windows', a driver with a delete flag loses its files too, unless another
    // registered driver names them; Wine's refusal of any flag (ERROR_INVALID_PARAMETER) is a
    // fault a test injects.
    WinError deletePrinter(const std::string& name) override;
    WinError deletePrinterDriver(const std::string& environment, const std::string& name,
                                 std::uint32_t deleteFlags, std::uint32_t version) override;
    // The Standard TCP/IP Port monitor's XcvData ("XcvData" in the call log): a port of any
    // monitor by that name exists already (183); without the monitor Xcv cannot be opened
    // (1796, as Wine answers). The port is listed with the monitor's description.
    WinError addTcpPort(const TcpPort& port) override;
    WinError getTcpPort(const std::string& name, TcpPort& port) override;
    // A port that a printer uses is refused (ERROR_BUSY), as the monitor refuses it.
    WinError deleteTcpPort(const std::string& name) override;
    // A printer's device mode for every user (level 8), which it gets from its driver when it
    // is added; setting it takes PrinterAllAccess. It keeps no user's own (level 9).
    WinError getPrinterDevMode(const std::string& name, std::uint32_t level,
                               std::optional<DevMode>& devMode) override;
    WinError setPrinterDevMode(const std::string& name, std::uint32_t access, std::uint32_t level,
                               const std::vector<std::uint8_t>& bytes) override;
    // Without `in` the printer's device mode for every user, else the driver's defaults; with
    // `in`, those defaults and each field of `in` that its bit names and the driver offers and
    // honours.
    WinError driverDevMode(const std::string& name, const DevMode* in, DevMode& out) override;
    WinError deviceCapabilities(const std::string& name, std::uint16_t question,
                                std::vector<std::int32_t>& answer) override;

    // The papers a driver offers (two-sided printing, colour and landscape too), and the
    // fields it takes from a device mode it is given.
    struct DriverModel {
        std::vector<std::int32_t> papers = {1, 5, 8, 9, 11, 13}; // its default first
        std::uint32_t honoured = ~0u;
    };
    DriverModel& driverModel(const std::string& driver) { return driverModels_[driver]; }
    void dropDevMode(const std::string& printer) { findPrinter(printer)->everyUser.reset(); }

    // Set-up for tests.
    std::vector<PortInfo2>& ports() { return ports_; }
    std::vector<MonitorInfo1>& monitors() { return monitors_; }
    void addLocalPort(const std::string& name, const std::string& description = "Local Port");
    // Windows path of the driver directory of an environment ("Windows NT x86" ...).
    void setDriverDirectory(const std::string& environment, const std::string& windowsPath);
    // The port at which the simulated printer is connected and reports itself on line.
    void connectPrinterAt(std::optional<std::string> port) { connectedPort_ = std::move(port); }
    // What the spooler writes as "PrinterOnLine" for the connected printer (DWORD 1).
    void setOnLineValue(RegValue value) { onLineValue_ = std::move(value); }
    // The next AddPort answers its monitor's dialog with this port name (the user types it
    // and confirms); with none queued the user cancels the monitor's dialog.
    void queueNewPort(const std::string& name) { newPorts_.push_back(name); }
    // Adds a printer directly, with the keys AddPrinter writes (no call is logged).
    void putPrinter(const PrinterInfo2& printer);
    // Queues print jobs on a printer (none are printed).
    void setJobs(const std::string& printer, std::uint32_t jobs) {
        findPrinter(printer)->info.jobs = jobs;
    }

    struct Printer {
        PrinterInfo2 info;
        std::optional<std::vector<std::uint8_t>> everyUser; // the device mode, level 8
    };
    [[nodiscard]] const std::vector<Printer>& printers() const { return printers_; }
    [[nodiscard]] const std::vector<DriverInfo3>& drivers() const { return drivers_; }
    // The ports whose configuration was asked for, from the call log.
    [[nodiscard]] std::vector<std::string> configuredPorts() const {
        return faults_.subjectsOf("ConfigurePort");
    }
    [[nodiscard]] std::size_t openPrinterCount() const { return openPrinters_; }
    // Every record, one line each: ports, monitors, drivers (every field), printers (every
    // field), the ports configured and the printer handles left open.
    [[nodiscard]] std::vector<std::string> dump() const;

  protected:
    WinError closePrinter(std::uintptr_t handle) override;

  private:
    bool fileInDriverDirectory(const std::string& environment, const std::string& path) const;
    std::vector<Printer>::iterator findPrinter(const std::string& name);
    // The record as the spooler lists it: the port its keys name now.
    PrinterInfo2 listed(const Printer& printer) const;
    // AddPrinter's and SetPrinter's checks of a record's driver and port, 0 when they pass.
    WinError refusal(const PrinterInfo2& printer) const;
    void writeKeys(const PrinterInfo2& printer);
    std::vector<std::uint8_t> driversDevMode(const std::string& driver, const DevMode* in) const;
    std::optional<fs::path> hostFileOf(const std::string& environment,
                                       const std::string& path) const;

    Faults& faults_;
    SimRegistry& registry_;
    SimSystem& system_;
    std::vector<PortInfo2> ports_;
    std::vector<MonitorInfo1> monitors_;
    std::vector<Printer> printers_;
    std::vector<DriverInfo3> drivers_;
    std::vector<TcpPort> tcpPorts_;
    std::map<std::string, std::string> driverDirectories_;
    std::optional<std::string> connectedPort_;
    RegValue onLineValue_{reg::TypeDword, regDwordData(1)};
    std::deque<std::string> newPorts_;
    std::map<std::string, DriverModel> driverModels_;
    std::size_t openPrinters_ = 0;
    std::uintptr_t nextHandle_ = 0x5000;
};

inline constexpr const char* kPrintersKey = "SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\";
// PRINTER_STATUS_PENDING_DELETION: deleted while it had jobs; it goes when they end.
inline constexpr std::uint32_t kStatusPendingDeletion = 0x4;
inline constexpr const char* kPrintersSoftwareKey =
    "Software\\Microsoft\\Windows NT\\CurrentVersion\\Print\\Printers\\";

} // namespace vexo::sim
