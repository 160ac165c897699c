// Fault injection and the one call log of the simulated machine: every part logs what the
// program asked of it here, and what tests read of those calls (the copies made, the
// message boxes shown, ...) is read back from this log. Every simulated operation that can
// fail asks `check` before it does anything; a matching rule makes it fail with the rule's
// Windows error code instead, which the operation hands to its caller through `deliver`.
// Operations that cannot report a failure (closing a key, sleeping, the window calls) only
// `log` their calls: no rule reaches them.
#pragma once

#include "platform/Win32Constants.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vexo::sim {

// A rule with this error makes the call throw instead of failing: the exception that may
// escape the program's own code (std::bad_alloc, say), for the front ends' last resort.
inline constexpr WinError kThrowException = 0xE06D7363;

struct CallRecord {
    std::string operation; // "RegSetValueEx", "CopyFile", "AddPrinter", ...
    std::string subject;   // what it acted on: a key path and value name, a file, a printer
    WinError result = err::Success;
    bool injected = false;  // a rule made this call fail
    bool delivered = false; // and the operation returned that failure to its caller
    // What the call was given beyond its subject, as text, for the accessors that read the
    // call back (a copy's source and destination, a message box's caption and style, ...).
    std::vector<std::string> args;
};

class Faults {
  public:
    // Makes calls of `operation` whose subject contains `match` (any subject when empty)
    // fail with `error`: the `nth` matching call (1-based) and the `times - 1` after it;
    // times 0 means every matching call from the nth on.
    void fail(std::string operation, WinError error, std::string match = "", int nth = 1,
              int times = 1);

    // Called by the simulated operations: logs the call and returns the injected error, if
    // any. `record` then sets the real result of a call that went through.
    [[nodiscard]] std::optional<WinError>
    check(std::string_view operation, std::string_view subject, std::vector<std::string> args = {});
    void record(WinError result);
    // Called by an operation as it returns the failure `check` injected; returns `error`.
    WinError deliver(WinError error);
    // Logs a call that cannot fail.
    void log(std::string_view operation, std::string_view subject,
             std::vector<std::string> args = {});

    [[nodiscard]] const std::vector<CallRecord>& calls() const { return calls_; }
    // Forgets the calls so far, and with them what the accessors read back from them.
    void clearCalls() {
        calls_.clear();
        pending_.reset();
    }
    // The calls of one operation, in order.
    [[nodiscard]] std::vector<CallRecord> callsOf(std::string_view operation) const;
    [[nodiscard]] std::vector<std::string> subjectsOf(std::string_view operation) const;
    // How many failures were injected, and how many of them the operations returned.
    [[nodiscard]] int injected() const { return injected_; }
    [[nodiscard]] int delivered() const { return delivered_; }

  private:
    struct Rule {
        std::string operation;
        WinError error;
        std::string match;
        int nth;
        int times;
        int seen = 0;
    };
    std::vector<Rule> rules_;
    std::vector<CallRecord> calls_;
    int injected_ = 0;
    int delivered_ = 0;
    std::optional<std::size_t> pending_; // the injected call not yet delivered
};

} // namespace vexo::sim
