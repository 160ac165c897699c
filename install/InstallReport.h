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

struct InstallReport {
    bool ran = false;
    std::string printerName;
    bool printerAlreadyExisted = false;
    std::vector<InstallFailure> failures;

    void fail(System& system, std::string step, WinError error);
    void failWithoutCode(std::string step);
    [[nodiscard]] bool succeeded() const { return ran && failures.empty(); }
    // The text of the error box: every failure on a line of its own.
    [[nodiscard]] std::string failureMessage() const;
    // The text of the completion box.
    [[nodiscard]] std::string completionMessage() const;
};

} // namespace vexo
