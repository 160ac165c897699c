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
    // One line per line of `text`, each with the time.
    const std::string time = system_.localTime();
    std::string lines;
    std::size_t from = 0;
    while (from <= text.size()) {
        std::size_t end = text.find_first_of("\r\n", from);
        std::string part = text.substr(from, end == std::string::npos ? end : end - from);
        if (!part.empty() || lines.empty()) {
            lines += time + "  " + part + "\r\n";
        }
        if (end == std::string::npos) {
            break;
        }
        from = end + 1;
    }
    WinError e = system_.appendLog(file_, lines);
    if (e != err::Success) {
        notWritten(system_.errorText(e) + " (error " + std::to_string(e) + ")");
        (void)file_.reset();
    }
}

} // namespace vexo
