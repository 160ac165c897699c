#include "install/InstallReport.h"

namespace vexo {

const InstallFailure& StepFailures::fail(System& system, std::string step, WinError error) {
    return failures.emplace_back(InstallFailure{std::move(step), error, system.errorText(error)});
}

const InstallFailure& StepFailures::failWithoutCode(std::string step) {
    return failures.emplace_back(InstallFailure{std::move(step), 0, ""});
}

std::string StepFailures::describe(const InstallFailure& f) {
    if (f.error == 0) {
        return f.step;
    }
    return f.step + ": " + f.errorText + " (error " + std::to_string(f.error) + ")";
}

std::string StepFailures::describe(System& system, std::string step, WinError error) {
    return describe(InstallFailure{std::move(step), error, system.errorText(error)});
}

std::string StepFailures::failureLines() const {
    std::string text;
    for (const InstallFailure& f : failures) {
        text += "\r\n- " + describe(f);
    }
    return text;
}

std::string quoted(const std::string& text) {
    return "\"" + text + "\"";
}

std::string InstallReport::failureMessage() const {
    if (refusedByProtectedPrint) {
        return "Nothing was installed: Windows protected print mode is on. In this mode Windows "
               "accepts only its own printer drivers, so the driver of \"" +
               printerName + "\" cannot be installed on this computer.";
    }
    return "The installation did not complete. These steps failed:\r\n" + failureLines();
}

std::string InstallReport::completionMessage() const {
    if (!printerAlreadyExisted) {
        return "Completed!";
    }
    std::string text =
        "Completed!\r\n\r\nThe printer " + quoted(printerName) + " was already installed: ";
    if (!previousPort.empty()) {
        text +=
            "its port was set to " + quoted(printerPort) + " (it was " + quoted(previousPort) + ")";
    } else if (!boundUsbPort.empty() && boundUsbPort == printerPort) {
        text += "its port was set to " + quoted(printerPort);
    } else {
        text += "it is on the port " + quoted(printerPort);
    }
    if (defaultPrinterSet) {
        text += " and it was made the default printer";
    }
    return text + "; it kept its other settings.";
}

} // namespace vexo
