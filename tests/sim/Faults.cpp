#include "tests/sim/Faults.h"

#include <stdexcept>

#include <utility>

namespace vexo::sim {

void Faults::fail(std::string operation, WinError error, std::string match, int nth, int times) {
    rules_.push_back(Rule{std::move(operation), error, std::move(match), nth, times});
}

std::optional<WinError> Faults::check(std::string_view operation, std::string_view subject,
                                      std::vector<std::string> args) {
    log(operation, subject, std::move(args));
    for (Rule& r : rules_) {
        if (r.operation != operation) {
            continue;
        }
        if (!r.match.empty() && subject.find(r.match) == std::string_view::npos) {
            continue;
        }
        ++r.seen;
        bool inWindow = r.seen >= r.nth && (r.times == 0 || r.seen < r.nth + r.times);
        if (inWindow) {
            ++injected_;
            calls_.back().result = r.error;
            calls_.back().injected = true;
            pending_ = calls_.size() - 1;
            return r.error;
        }
    }
    return std::nullopt;
}

WinError Faults::deliver(WinError error) {
    if (pending_ && calls_[*pending_].result == error) {
        calls_[*pending_].delivered = true;
        ++delivered_;
    }
    pending_.reset();
    if (error == kThrowException) {
        throw std::runtime_error("an exception thrown on purpose");
    }
    return error;
}

void Faults::log(std::string_view operation, std::string_view subject,
                 std::vector<std::string> args) {
    pending_.reset();
    calls_.push_back(CallRecord{std::string(operation), std::string(subject), err::Success, false,
                                false, std::move(args)});
}

void Faults::record(WinError result) {
    if (!calls_.empty()) {
        calls_.back().result = result;
    }
}

std::vector<CallRecord> Faults::callsOf(std::string_view operation) const {
    std::vector<CallRecord> out;
    for (const CallRecord& c : calls_) {
        if (c.operation == operation) {
            out.push_back(c);
        }
    }
    return out;
}

std::vector<std::string> Faults::subjectsOf(std::string_view operation) const {
    std::vector<std::string> out;
    for (const CallRecord& c : calls_) {
        if (c.operation == operation) {
            out.push_back(c.subject);
        }
    }
    return out;
}

} // namespace vexo::sim
