// What an installation run did not manage, so that the wizard reports the truth instead of
// an unconditional "Completed!".
#pragma once

#include "install/ChangeRecord.h"
#include "install/InstallFeedback.h"
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
    // The line of a step that failed with `error`, without recording it.
    [[nodiscard]] static std::string describe(System& system, std::string step, WinError error);
    // Every failure's line, each after a line break and "- ", for a message.
    [[nodiscard]] std::string failureLines() const;
};

// What an installation and a removal report alike: whether the run went ahead, the printer
// it was about, and what failed.
struct RunReport : StepFailures {
    bool ran = false;
    std::string printerName;

    [[nodiscard]] bool succeeded() const { return ran && failures.empty(); }
};

// A step's outcome as a run goes: a line for the log (`InstallFeedback::note`) and, for a
// failure, a record in the report.
class StepLog {
  public:
    StepLog(System& system, InstallFeedback& feedback, StepFailures& report)
        : system_(system), feedback_(feedback), report_(report) {}

    void note(const std::string& line) { feedback_.note(line); }
    void done(const std::string& step);
    void failed(std::string step, WinError error);
    void failedWithoutCode(std::string step);

  private:
    System& system_;
    InstallFeedback& feedback_;
    StepFailures& report_;
};

// A name in the steps' lines: "K20A" with its quotes.
[[nodiscard]] std::string quoted(const std::string& text);

struct InstallReport : RunReport {
    // The port chosen: the named one, or the first port of the automatic choice's group.
    std::string portName;
    // The port the printer is on at the end: the one it was added on or set to, or the one
    // an existing printer kept; empty when there is no printer of this model.
    std::string printerPort;
    bool printerAlreadyExisted = false;
    // The port an existing printer was on before this run set it to `printerPort`.
    std::string previousPort;
    // The USB port the binding left in the printer's keys, empty when none was bound.
    std::string boundUsbPort;
    bool defaultPrinterSet = false; // "Device" names the printer now
    // Windows protected print mode is on: nothing was installed.
    bool refusedByProtectedPrint = false;
    // The driver was registered before the run and registered again with the files it copied:
    // undoing the run cannot put its earlier files back.
    bool driverRegisteredBefore = false;
    // What the run changed, oldest first, each with what was there before.
    ChangeRecord changes;

    // The text of the error box: every failure on a line of its own.
    [[nodiscard]] std::string failureMessage() const;
    // The text of the completion box.
    [[nodiscard]] std::string completionMessage() const;
};

} // namespace vexo
