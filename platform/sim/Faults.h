// Fault injection and a call log shared by the simulated machine's parts. Every simulated
// operation asks `check` before it does anything; a matching rule makes it fail with the
// rule's Windows error code instead.
#pragma once

#include "platform/Win32Constants.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vexo::sim {

struct CallRecord {
    std::string operation; // "RegSetValueEx", "CopyFile", "AddPrinter", ...
    std::string subject;   // what it acted on: a key path and value name, a file, a printer
    WinError result = err::Success;
};

class Faults {
  public:
    // Makes calls of `operation` whose subject contains `match` (any subject when empty)
    // fail with `error`: the `nth` matching call (1-based) and the `times - 1` after it;
    // times 0 means every matching call from the nth on.
    void fail(std::string operation, WinError error, std::string match = "", int nth = 1,
              int times = 1);
    void clear() { rules_.clear(); }

    // Called by the simulated operations: logs the call and returns the injected error, if
    // any. `record` then sets the real result of a call that went through.
    [[nodiscard]] std::optional<WinError> check(std::string_view operation,
                                                std::string_view subject);
    void record(WinError result);

    [[nodiscard]] const std::vector<CallRecord>& calls() const { return calls_; }
    void clearCalls() { calls_.clear(); }
    // The calls of one operation, in order.
    [[nodiscard]] std::vector<CallRecord> callsOf(std::string_view operation) const;
    // How many injected failures were delivered.
    [[nodiscard]] int injected() const { return injected_; }

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
};

} // namespace vexo::sim
