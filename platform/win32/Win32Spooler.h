// The local print spooler over winspool.drv's wide functions. The library is not linked:
// it is loaded on first use from System32 only, and every function is looked up by name
// through the pointer type of its declaration. A missing library or function makes the
// operation fail with the load error or ERROR_PROC_NOT_FOUND.
#pragma once

#include "platform/Spooler.h"
#include "platform/win32/UniqueHandle.h"

#include <windows.h>
#include <winspool.h>

namespace vexo::win32 {

class Win32Spooler final : public Spooler {
  public:
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
    WinError getPrinter(const std::string& name, PrinterInfo2& printer) override;
    WinError setPrinter(const PrinterInfo2& printer) override;
    WinError deletePrinter(const std::string& name) override;
    WinError deletePrinterDriver(const std::string& environment, const std::string& name,
                                 std::uint32_t deleteFlags, std::uint32_t version) override;
    WinError addTcpPort(const TcpPort& port) override;
    WinError getTcpPort(const std::string& name, TcpPort& port) override;
    WinError deleteTcpPort(const std::string& name) override;
    WinError getPrinterDevMode(const std::string& name, std::uint32_t level,
                               std::optional<DevMode>& devMode) override;
    WinError setPrinterDevMode(const std::string& name, std::uint32_t access, std::uint32_t level,
                               const std::vector<std::uint8_t>& bytes) override;
    WinError driverDevMode(const std::string& name, const DevMode* in, DevMode& out) override;
    WinError deviceCapabilities(const std::string& name, std::uint16_t question,
                                std::vector<std::int32_t>& answer) override;

  protected:
    WinError closePrinter(std::uintptr_t handle) override;

  private:
    // Loads the library and looks the functions up, once. The error of the load, or 0.
    WinError load();
    // OpenPrinter with `access`; the handle closes itself. Needs openPrinter_.
    WinError openPrinter(const std::string& name, std::uint32_t access, PrinterHandle& printer);
    // GetPrinter at `level` on the printer `name`, sized as an enumeration is: the record (of
    // `recordSize` bytes, what it points to after it) in `buffer`; ERROR_INVALID_DATA when the
    // spooler answered without one. Needs openPrinter_, getPrinter_ and closePrinter_.
    WinError readPrinter(const std::string& name, std::uint32_t level, std::size_t recordSize,
                         std::vector<std::byte>& buffer);
    // XcvData on the Xcv object `object` (",XcvMonitor NAME" or ",XcvPort NAME"): the error of
    // a call that failed, else the monitor's status. Needs openPrinter_ and xcvData_.
    WinError xcvData(const std::string& object, const wchar_t* command, void* input,
                     std::uint32_t inputSize, void* output, std::uint32_t outputSize);
    // What an operation whose function could not be found reports.
    [[nodiscard]] WinError unavailable() const;

    bool loaded_ = false;
    WinError loadError_ = 0;
    UniqueLibrary library_;
    decltype(&::EnumPortsW) enumPorts_ = nullptr;
    decltype(&::EnumMonitorsW) enumMonitors_ = nullptr;
    decltype(&::EnumPrintersW) enumPrinters_ = nullptr;
    decltype(&::GetPrinterDriverDirectoryW) getPrinterDriverDirectory_ = nullptr;
    decltype(&::AddPrinterDriverW) addPrinterDriver_ = nullptr;
    decltype(&::AddPrinterW) addPrinter_ = nullptr;
    decltype(&::ClosePrinter) closePrinter_ = nullptr;
    decltype(&::AddPortW) addPort_ = nullptr;
    decltype(&::ConfigurePortW) configurePort_ = nullptr;
    decltype(&::EnumPrinterDriversW) enumPrinterDrivers_ = nullptr;
    decltype(&::OpenPrinterW) openPrinter_ = nullptr;
    decltype(&::GetPrinterW) getPrinter_ = nullptr;
    decltype(&::SetPrinterW) setPrinter_ = nullptr;
    decltype(&::DeletePrinter) deletePrinter_ = nullptr;
    decltype(&::DeletePrinterDriverExW) deletePrinterDriverEx_ = nullptr;
    decltype(&::XcvDataW) xcvData_ = nullptr;
    decltype(&::DocumentPropertiesW) documentProperties_ = nullptr;
    decltype(&::DeviceCapabilitiesW) deviceCapabilities_ = nullptr;
};

// Whether every function of an operation was found in the library.
template <class... Functions> bool allFound(Functions... functions) {
    return ((functions != nullptr) && ...);
}

} // namespace vexo::win32
