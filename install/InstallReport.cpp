#include "install/InstallReport.h"

namespace vexo {

void InstallReport::fail(System& system, std::string step, WinError error) {
    failures.push_back(InstallFailure{std::move(step), error, system.errorText(error)});
}

void InstallReport::failWithoutCode(std::string step) {
    failures.push_back(InstallFailure{std::move(step), 0, ""});
}

std::string InstallReport::failureMessage() const {
    std::string text = "The installation did not complete. These steps failed:\r\n";
    for (const InstallFailure& f : failures) {
        text += "\r\n- " + f.step;
        if (f.error != 0) {
            text += ": " + f.errorText + " (error " + std::to_string(f.error) + ")";
        }
    }
    return text;
}

std::string InstallReport::completionMessage() const {
    if (!printerAlreadyExisted) {
        return "Completed!";
    }
    std::string text =
        "Completed!\r\n\r\nThe printer \"" + printerName + "\" was already installed";
    std::string changed;
    if (!boundUsbPort.empty()) {
        changed += "its port was set to \"" + boundUsbPort + "\"";
    }
    if (defaultPrinterSet) {
        changed += std::string(changed.empty() ? "" : " and ") + "it was made the default printer";
    }
    if (changed.empty()) {
        return text + " and kept its settings.";
    }
    return text + ": " + changed + "; it kept its other settings.";
}

} // namespace vexo
