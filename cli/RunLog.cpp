#include "cli/RunLog.h"

namespace vexo {

namespace {

// How many names a fresh log tries when one with its time and process id exists already.
constexpr int kFreshNameAttempts = 10;

} // namespace

void RunLog::notWritten(const std::string& why) {
    system_.debugOutput(system_.programTitle() + ": the log \"" + path_ +
                        "\" is not written: " + why + "\n");
}

void RunLog::open(const std::optional<std::string>& path) {
    std::string refusal;
    WinError e = err::Success;
    if (path) {
        path_ = *path;
        e = system_.openLog(path_, false, file_, refusal);
    } else {
        const std::string stem = system_.tempFolder() + "\\VexoSetup-" + system_.localTimeStamp() +
                                 "-" + std::to_string(system_.processId());
        e = err::FileExists;
        for (int attempt = 1; attempt <= kFreshNameAttempts && e == err::FileExists; ++attempt) {
            path_ = stem + (attempt == 1 ? "" : "-" + std::to_string(attempt)) + ".log";
            refusal.clear();
            e = system_.openLog(path_, true, file_, refusal);
        }
    }
    if (e != err::Success) {
        notWritten(refusal.empty() ? system_.errorText(e) + " (error " + std::to_string(e) + ")"
                                   : refusal);
    }
}

void RunLog::line(const std::string& text) {
    if (!file_.isOpen()) {
        return;
    }
    // A text of several lines (a report) becomes as many lines of the log, each with the
    // time, so that every line of the file reads the same way; empty lines are left out.
    const std::string prefix = system_.localTime() + "  ";
    std::string bytes;
    std::size_t from = 0;
    for (;;) {
        std::size_t end = text.find('\n', from);
        std::string part = text.substr(from, end - from); // the rest after the last break
        if (!part.empty() && part.back() == '\r') {
            part.pop_back();
        }
        if (!part.empty()) {
            bytes += prefix + part + "\r\n";
        }
        if (end == std::string::npos) {
            break;
        }
        from = end + 1;
    }
    if (bytes.empty()) {
        bytes = prefix + "\r\n";
    }
    WinError e = system_.appendLog(file_, bytes);
    if (e != err::Success) {
        notWritten(system_.errorText(e) + " (error " + std::to_string(e) + ")");
        (void)file_.reset();
    }
}

} // namespace vexo
