#include "install/InstallReport.h"

#include "platform/Text.h"

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
    return cat({f.step, ": ", f.errorText, " (error ", Decimal(f.error), ")"});
}

std::string StepFailures::describe(System& system, std::string step, WinError error) {
    return describe(InstallFailure{std::move(step), error, system.errorText(error)});
}

std::string StepFailures::failureLines() const {
    std::string text;
    for (const InstallFailure& f : failures) {
        text += cat({"\r\n- ", describe(f)});
    }
    return text;
}

void StepLog::done(const std::string& step) {
    note(cat({step, ": done"}));
}

void StepLog::failed(std::string step, WinError error) {
    note(StepFailures::describe(report_.fail(system_, std::move(step), error)));
}

void StepLog::failedWithoutCode(std::string step) {
    note(report_.failWithoutCode(std::move(step)).step);
}

std::string quoted(const std::string& text) {
    return cat({"\"", text, "\""});
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
    const bool set =
        !previousPort.empty() || (!boundUsbPort.empty() && boundUsbPort == printerPort);
    return cat({"Completed!\r\n\r\nThe printer \"", printerName, "\" was already installed: ",
                set ? "its port was set to \"" : "it is on the port \"", printerPort, "\"",
                previousPort.empty() ? "" : " (it was \"", previousPort,
                previousPort.empty() ? "" : "\")",
                defaultPrinterSet ? " and it was made the default printer" : "",
                "; it kept its other settings."});
}

} // namespace vexo
