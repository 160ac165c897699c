#include "install/UsbPortBinding.h"

namespace vexo {

namespace {

constexpr const char* kSoftwarePrinters =
    "Software\\Microsoft\\Windows NT\\CurrentVersion\\Print\\Printers\\";
constexpr const char* kControlSet001Printers = "SYSTEM\\ControlSet001\\Control\\Print\\Printers\\";
constexpr const char* kCurrentPrinters = "SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\";
constexpr const char* kOnLineKey =
    "SYSTEM\\CurrentControlSet\\Hardware Profiles\\Current\\System\\CurrentControlSet\\Control\\"
    "Print\\Printers\\";
// The read-back buffer: a longer value does not fit and counts as a failed read.
constexpr std::size_t kOnLineBufferSize = 50;

} // namespace

std::array<BindingValue, 5> bindingValuesOf(const std::string& printer) {
    const RegRoot hklm = RegRoot::LocalMachine;
    return {{{hklm, kSoftwarePrinters + printer, "Port"},
             {hklm, kSoftwarePrinters + printer + "\\DsSpooler", "portName"},
             {hklm, kControlSet001Printers + printer, "Port"},
             {hklm, kCurrentPrinters + printer, "Port"},
             {RegRoot::CurrentConfig, kCurrentPrinters + printer, "PrinterOnLine"}}};
}

void bindPrinterPort(Registry& registry, const std::string& printer, const std::string& port,
                     ChangeLog& changes) {
    if (printer.empty()) {
        return; // the keys would be the shared Printers keys themselves
    }
    const auto values = bindingValuesOf(printer);
    for (std::size_t i = 0; i + 1 < values.size(); ++i) {
        (void)writeRecorded(registry, changes, values[i].root, values[i].key, values[i].name,
                            reg::TypeSz, regSzData(port));
    }
    const BindingValue& onLine = values.back();
    RegKey k;
    std::uint32_t disposition = 0;
    if (registry.createKey(onLine.root, onLine.key, reg::OptionNonVolatile, reg::AllAccess, k,
                           &disposition) != err::Success) {
        return;
    }
    if (disposition == reg::CreatedNewKey || !changes.keeping()) {
        Change created = Change::of(ChangeKind::KeyCreated, onLine.key);
        created.root = onLine.root;
        changes.add(std::move(created));
        (void)registry.setDword(k, onLine.name, 0);
        return;
    }
    (void)setRecorded(registry, changes, {k, onLine.root, onLine.key}, onLine.name, reg::TypeDword,
                      regDwordData(0));
}

bool listPrinters(Spooler& spooler, std::vector<std::string>& names,
                  std::vector<std::string>& ports) {
    std::vector<PrinterInfo2> printers;
    if (spooler.enumPrinters(PrinterEnumLocal | PrinterEnumConnections, printers) != err::Success) {
        return false;
    }
    names.clear();
    ports.clear();
    for (const PrinterInfo2& p : printers) {
        names.push_back(p.printerName);
        ports.push_back(p.portName);
    }
    return !printers.empty();
}

UsbPortSearch selectUsbPort(Platform& platform, const std::vector<std::string>& candidates,
                            const std::string& printer, InstallFeedback& user, ChangeLog& changes) {
    UsbPortSearch search;
    std::string bound;
    while (true) {
        const OsReleaseCode release = queryOsReleaseCode(platform.system);
        std::uint8_t mark = 0;
        for (const std::string& port : candidates) {
            bindPrinterPort(platform.registry, printer, port, changes);
            bound = port;
            user.progress(50);
            if (release == os_release::Windows7) {
                // On Windows 7 nothing is read back: every candidate is bound in turn and
                // the keys end up naming the last.
                user.note("Bound the printer to the USB port \"" + port +
                          "\" (on Windows 7 the port is not read back)");
                mark = 1;
                continue;
            }
            std::vector<std::string> names, ports;
            (void)listPrinters(platform.spooler, names, ports);
            RegKey key;
            if (platform.registry.openKey(RegRoot::LocalMachine, kOnLineKey + printer,
                                          reg::QueryValue, key) == err::Success) {
                RegValue value;
                if (platform.registry.queryValue(key, "PrinterOnLine", value) == err::Success &&
                    !value.data.empty() && value.data.size() <= kOnLineBufferSize) {
                    mark = value.data[0];
                }
            }
            user.note(
                "Bound the printer to the USB port \"" + port + "\": " +
                (mark == 1 ? "the printer is on line there" : "the printer is not on line there"));
            if (mark == 1) {
                search.onLine = true;
                user.progress(70);
                break;
            }
        }
        if (candidates.empty()) {
            user.note("There is no USB port to bind the printer to");
        }
        // Found, or Windows 7, or a mark other than 0 and 1: the search ends without a question.
        if (mark != 0) {
            break;
        }
        if (!user.askRetryUsbPort()) {
            break;
        }
    }
    user.progress(80);
    search.boundPort = printer.empty() ? "" : bound;
    search.onLine = search.onLine && !search.boundPort.empty();
    return search;
}

} // namespace vexo
