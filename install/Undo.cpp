#include "install/Undo.h"

#include "install/DriverDeployment.h"
#include "install/ModelTables.h"
#include "install/SerialLine.h"
#include "install/UsbPortBinding.h"
#include "platform/Text.h"

#include <algorithm>

namespace vexo {

namespace {

bool hasControl(std::string_view text) {
    return std::any_of(text.begin(), text.end(), [](char c) {
        const auto b = static_cast<unsigned char>(c);
        return b < 0x20 || b == 0x7F;
    });
}

// A name the installation could have given a printer: what it names is no other key.
bool printerName(std::string_view name) {
    return !name.empty() && name.size() <= 880 && !hasControl(name) &&
           name.find_first_of("\\,") == std::string_view::npos;
}

bool knownEnvironment(std::string_view environment) {
    return std::any_of(
        std::begin(kArchitectures), std::end(kArchitectures),
        [&](const ArchitectureRow& a) { return environment == a.deployment.environment; });
}

bool modelDriver(std::string_view name) {
    return std::any_of(modelCodes.begin(), modelCodes.end(),
                       [&](const char* code) { return equalsIgnoringAsciiCase(name, code); });
}

bool driverFileName(std::string_view name) {
    for (std::size_t m = 0; m < kModelCount; ++m) {
        for (const std::string& file : driverFilesOf(m)) {
            if (equalsIgnoringAsciiCase(name, file)) {
                return true;
            }
        }
    }
    return false;
}

// Whether `prefix` + a printer's name is `key`.
bool printerKey(std::string_view key, std::string_view prefix, std::string_view suffix = "") {
    if (key.size() <= prefix.size() + suffix.size() ||
        !equalsIgnoringAsciiCase(key.substr(0, prefix.size()), prefix) ||
        !equalsIgnoringAsciiCase(key.substr(key.size() - suffix.size()), suffix)) {
        return false;
    }
    return printerName(key.substr(prefix.size(), key.size() - prefix.size() - suffix.size()));
}

// Whether the installation writes the value `name` of `key` under `root`: the binding's, the
// default printer, a COM port's line settings. `onlyKeys` asks only of the binding's key
// that it creates.
bool writtenByInstallation(RegRoot root, std::string_view key, std::string_view name,
                           bool onlyKeys) {
    const auto places = bindingValuesOf("\x01");
    for (std::size_t i = onlyKeys ? places.size() - 1 : 0; i < places.size(); ++i) {
        const std::string& k = places[i].key;
        const std::size_t at = k.find('\x01');
        if (root == places[i].root && (onlyKeys || equalsIgnoringAsciiCase(name, places[i].name)) &&
            printerKey(key, std::string_view(k).substr(0, at),
                       std::string_view(k).substr(at + 1))) {
            return true;
        }
    }
    if (onlyKeys) {
        return false;
    }
    if (root == RegRoot::CurrentUser && equalsIgnoringAsciiCase(key, kWindowsKey) &&
        equalsIgnoringAsciiCase(name, kDefaultPrinterValue)) {
        return true;
    }
    return root == RegRoot::LocalMachine && equalsIgnoringAsciiCase(key, kPortsKey) &&
           std::any_of(portCodes.begin() + kLastParallelPort + 1, portCodes.end(),
                       [&](const SerialCode& c) { return equalsIgnoringAsciiCase(name, c.code); });
}

// Errors that say the thing to undo is gone already: the undo's aim is reached.
bool gone(WinError e) {
    return e == err::FileNotFound || e == err::PathNotFound || e == err::InvalidPrinterName ||
           e == err::UnknownPrinterDriver || e == err::UnknownPort;
}

class Undo {
  public:
    Undo(Platform& platform, InstallFeedback& feedback, StepFailures& failures)
        : platform_(platform), steps_(platform.system, feedback, failures) {}

    void undo(const Change& c) {
        switch (c.kind) {
        case ChangeKind::PortCreated:
            outcome(cat({"delete the port ", quoted(c.name)}),
                    platform_.spooler.deleteTcpPort(c.name));
            return;
        case ChangeKind::FileCopied:
            outcome(cat({"delete the file ", quoted(c.name)}), platform_.system.deleteFile(c.name));
            return;
        case ChangeKind::DriverRegistered:
            deleteDriver(c);
            return;
        case ChangeKind::PrinterAdded:
            outcome(cat({"delete the printer ", quoted(c.name)}),
                    platform_.spooler.deletePrinter(c.name));
            return;
        case ChangeKind::PrinterChanged:
            setPrinterBack(c);
            return;
        case ChangeKind::ValueWritten:
            putValueBack(c);
            return;
        case ChangeKind::KeyCreated:
            outcome(cat({"delete the key \"", rootName(c.root), "\\", c.name, "\""}),
                    platform_.registry.deleteKey(c.root, c.name));
            return;
        case ChangeKind::DevModeSet:
            outcome(cat({"put back the printing defaults of ", quoted(c.name), " for every user"}),
                    platform_.spooler.setPrinterDevMode(c.name, PrinterAllAccess,
                                                        dm::EveryUserLevel, c.devMode));
            return;
        }
    }

  private:
    void outcome(const std::string& what, WinError e, std::string_view done = ": done") {
        const std::string step = cat({"Undo: ", what});
        if (e == err::Success) {
            steps_.note(cat({step, done}));
        } else if (gone(e)) {
            steps_.note(cat({step, ": it is gone already"}));
        } else {
            steps_.failed(step, e);
        }
    }

    void deleteDriver(const Change& c) {
        const std::string what = cat({"delete the printer driver ", quoted(c.name), " for ",
                                      quoted(c.environment), ", version ", Decimal(c.version)});
        Spooler& spooler = platform_.spooler;
        WinError e = spooler.deletePrinterDriver(
            c.environment, c.name, kDeleteUnusedFiles | kDeleteSpecificVersion, c.version);
        if (e == err::InvalidParameter) {
            // A spooler that refuses every delete flag (Wine) still removes the registration.
            e = spooler.deletePrinterDriver(c.environment, c.name, 0, 0);
            outcome(what, e, ": done; the spooler kept its files");
            return;
        }
        outcome(what, e);
    }

    void setPrinterBack(const Change& c) {
        const std::string what =
            cat({"set the printer ", quoted(c.name), " back to the port ", quoted(c.before.port),
                 ", the location ", quoted(c.before.location), " and the comment ",
                 quoted(c.before.comment)});
        PrinterInfo2 printer;
        WinError e = platform_.spooler.getPrinter(c.name, printer);
        if (e == err::Success) {
            printer.portName = c.before.port;
            printer.location = c.before.location;
            printer.comment = c.before.comment;
            e = platform_.spooler.setPrinter(printer);
        }
        outcome(what, e);
    }

    void putValueBack(const Change& c) {
        const std::string value = cat(
            {"the value ", quoted(c.valueName), " of \"", rootName(c.root), "\\", c.name, "\""});
        Registry& registry = platform_.registry;
        RegKey key;
        WinError e = registry.openKey(c.root, c.name, reg::SetValue, key);
        if (e == err::Success) {
            e = c.previous ? registry.setValue(key, c.valueName, c.previous->type, c.previous->data)
                           : registry.deleteValue(key, c.valueName);
        }
        outcome(cat({c.previous ? "put back " : "delete ", value}), e);
    }

    Platform& platform_;
    StepLog steps_;
};

} // namespace

std::string undoRefusal(Spooler& spooler, const ChangeRecord& changes) {
    for (const Change& c : changes) {
        bool accepted = false;
        switch (c.kind) {
        case ChangeKind::PortCreated:
            accepted = c.name.size() > 3 && c.name.size() <= 63 && c.name.starts_with("IP_") &&
                       !hasControl(c.name);
            break;
        case ChangeKind::FileCopied: {
            const std::size_t slash = c.name.rfind('\\');
            std::string directory;
            accepted =
                knownEnvironment(c.environment) && slash != std::string::npos &&
                driverFileName(std::string_view(c.name).substr(slash + 1)) &&
                spooler.getPrinterDriverDirectory(c.environment, directory) == err::Success &&
                equalsIgnoringAsciiCase(std::string_view(c.name).substr(0, slash), directory);
            break;
        }
        case ChangeKind::DriverRegistered:
            accepted = knownEnvironment(c.environment) && modelDriver(c.name);
            break;
        case ChangeKind::PrinterAdded:
        case ChangeKind::PrinterChanged:
            accepted = printerName(c.name);
            break;
        case ChangeKind::DevModeSet:
            // A device mode's public part and its driver's part have at most 65535 bytes each.
            accepted = printerName(c.name) && !c.devMode.empty() && c.devMode.size() <= 2 * 65535;
            break;
        case ChangeKind::ValueWritten:
        case ChangeKind::KeyCreated:
            accepted = writtenByInstallation(c.root, c.name, c.valueName,
                                             c.kind == ChangeKind::KeyCreated);
            break;
        }
        if (!accepted) {
            std::string line = changeLine(c);
            line.pop_back(); // its line break
            return cat({"it holds a change this program never makes: ", line});
        }
    }
    return "";
}

void undoChanges(Platform& platform, const ChangeRecord& changes, InstallFeedback& feedback,
                 StepFailures& failures) {
    Undo undo(platform, feedback, failures);
    for (auto it = changes.rbegin(); it != changes.rend(); ++it) {
        undo.undo(*it);
    }
}

} // namespace vexo
