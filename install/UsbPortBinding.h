// Binding the printer to the machine's USB ports in turn, through its registry keys,
// until the spooler reports it on line; and the Retry/Cancel question when none does.
#pragma once

#include "install/ChangeRecord.h"
#include "install/InstallFeedback.h"
#include "install/OsVersionCodes.h"
#include "platform/Platform.h"

#include <array>
#include <string>
#include <vector>

namespace vexo {

// The keys of the printer `printer` that the binding writes to, with the value of each, in
// the order it writes them; the last, under HKEY_CURRENT_CONFIG, is created when it is not
// there.
struct BindingValue {
    RegRoot root;
    std::string key;
    const char* name;
};
[[nodiscard]] std::array<BindingValue, 5> bindingValuesOf(const std::string& printer);

// Writes `port` into the printer's keys and marks it off line in the current hardware
// profile, keeping each change in `changes`. Each step is tried whatever became of the ones
// before. Without a printer name nothing is written.
void bindPrinterPort(Registry& registry, const std::string& printer, const std::string& port,
                     ChangeLog& changes);

// The local printers and connections with their ports; false when none could be listed
// (the lists are then left as they were when the enumeration failed).
bool listPrinters(Spooler& spooler, std::vector<std::string>& names,
                  std::vector<std::string>& ports);

inline constexpr const char* kUsbRetryText =
    "Failed to select USB port,please check the port is connected.\r\n\r\nClick Retry:Retry to "
    "select usb port\r\nClick Cancel:Continue installation, you can select the port after "
    "installation";
inline constexpr const char* kUsbRetryCaption = "Fail to select port";

struct UsbPortSearch {
    std::string boundPort; // the port the printer's keys name afterwards, empty when none was bound
    bool onLine = false;   // the printer read back on line at that port
};

// Tries each candidate until the printer reads back on line, asking `user` to retry when
// none does. The progress shows 50 per binding, 70 when found, 80 at the end.
UsbPortSearch selectUsbPort(Platform& platform, const std::vector<std::string>& candidates,
                            const std::string& printer, InstallFeedback& user, ChangeLog& changes);

} // namespace vexo
