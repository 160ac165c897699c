// What an installation run did not manage, so that the wizard reports the truth instead of
// an unconditional "Completed!".
#pragma once

#include "platform/System.h"

#include <string>
#include <vector>

namespace vexo {

struct InstallFailure {
    std::string step;      // what was attempted, naming the file, key or printer
    WinError error = 0;    // Windows' error code, 0 when there is none
    std::string errorText; // Windows' own text for it
};

// The failures of a run, each with Windows' text.
struct StepFailures {
    std::vector<InstallFailure> failures;

    // Record a failure and return it.
    const InstallFailure& fail(System& system, std::string step, WinError error);
    const InstallFailure& failWithoutCode(std::string step);
    // The failure's line for a log or a message: "step: text (error N)".
    [[nodiscard]] static std::string describe(const InstallFailure& failure);
};

struct InstallReport : StepFailures {
    bool ran = false;
    std::string printerName;
    std::string portName; // the port the printer was added on
    bool printerAlreadyExisted = false;
    // The USB port the binding left in the printer's keys, empty when none was bound.
    std::string boundUsbPort;
    bool defaultPrinterSet = false; // "Device" names the printer now
    // Windows protected print mode is on: nothing was installed.
    bool refusedByProtectedPrint = false;

    [[nodiscard]] bool succeeded() const { return ran && failures.empty(); }
    // The text of the error box: every failure on a line of its own.
    [[nodiscard]] std::string failureMessage() const;
    // The text of the completion box.
    [[nodiscard]] std::string completionMessage() const;
};

} // namespace vexo
