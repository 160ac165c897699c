#include "cli/RunLog.h"

#include "install/TrustRules.h"
#include "platform/Text.h"

#include <algorithm>
#include <string_view>

namespace vexo {

namespace {

// How many names a fresh log tries when one with its time and process id exists already.
constexpr int kFreshNameAttempts = 10;

} // namespace

void RunLog::notWritten(const std::string& why) {
    system_.debugOutput(
        cat({system_.programTitle(), ": the log \"", path_, "\" is not written: ", why, "\n"}));
}

std::string RunLog::why(WinError e, const std::string& refusal) {
    return refusal.empty() ? cat({system_.errorText(e), " (error ", Decimal(e), ")"}) : refusal;
}

std::string notADiskPath(std::string path) {
    std::replace(path.begin(), path.end(), '/', '\\');
    const std::string_view p = path;
    const bool devicePath = p.starts_with("\\\\.\\") || p.starts_with("\\??\\") ||
                            (p.starts_with("\\\\?\\") && !p.starts_with("\\\\?\\UNC\\") &&
                             !(p.size() > 6 && p[5] == ':' && p[6] == '\\'));
    if (devicePath) {
        return "it names a device or a pipe, not a file on a disk";
    }
    std::string_view name = p.substr(p.find_last_of('\\') + 1);
    if (name.find(':') != std::string_view::npos &&
        !(name.size() >= 2 && name.size() == p.size() && name[1] == ':' &&
          name.find(':', 2) == std::string_view::npos)) {
        return "a colon in a file name names a stream or a device, not a file";
    }
    // Windows takes these names, whatever follows a dot, for devices in every folder.
    std::string_view stem = name.substr(0, name.find('.'));
    while (!stem.empty() && stem.back() == ' ') {
        stem.remove_suffix(1);
    }
    for (const char* device : {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"}) {
        if (equalsIgnoringAsciiCase(stem, device)) {
            return "it names the device " + std::string(device) + ", not a file";
        }
    }
    if (stem.size() == 4 &&
        (equalsIgnoringAsciiCase(stem.substr(0, 3), "COM") ||
         equalsIgnoringAsciiCase(stem.substr(0, 3), "LPT")) &&
        stem[3] >= '0' && stem[3] <= '9') {
        return "it names the device " + std::string(stem) + ", not a file";
    }
    return "";
}

WinError openLogFile(System& system, const std::string& path, bool createNew, LogFile& file,
                     std::string& refusal) {
    const std::string full = system.fullPath(path);
    if (full.empty()) {
        return err::InvalidName;
    }
    const std::optional<LogPlace> place = logPlaceOf(full, refusal);
    if (!place) {
        return err::AccessDenied;
    }
    OpenFolder folder;
    std::string asked, reached;
    if (WinError e = system.openFolder(place->folder, folder, asked, reached); e != err::Success) {
        return e;
    }
    if (refusal = folderRefusal(asked, reached); !refusal.empty()) {
        return err::AccessDenied;
    }
    OpenedFileFacts facts;
    WinError e = system.openFileIn(folder, place->name, createNew, file, facts);
    if (e == err::Success || facts.folder) {
        refusal = logFileRefusal(
            facts, checkedAsElevated(system.elevation()), trustedAccountsOf(system),
            [&system](const std::string& sid) { return system.accountNameOf(sid); },
            place->onShare);
    }
    if (!refusal.empty()) {
        (void)file.reset();
        return err::AccessDenied;
    }
    return e;
}

void RunLog::open(const std::optional<std::string>& path) {
    std::string refused;
    if (path) {
        path_ = *path;
        std::string refusal = notADiskPath(path_);
        WinError e = refusal.empty() ? openLogFile(system_, path_, false, file_, refusal)
                                     : err::AccessDenied;
        if (e == err::Success) {
            return;
        }
        refused = why(e, refusal);
        notWritten(refused);
    }
    // A fresh file in the temporary folder, under a name nobody can foresee and create first.
    std::string stem = cat({system_.tempFolder(), "\\VexoSetup-", system_.localTimeStamp(), "-",
                            Decimal(system_.processId())});
    if (std::string random = system_.randomName(); !random.empty()) {
        stem += cat({"-", random});
    }
    std::string refusal;
    WinError e = err::FileExists;
    for (int attempt = 1; attempt <= kFreshNameAttempts && e == err::FileExists; ++attempt) {
        path_ = attempt == 1
                    ? cat({stem, ".log"})
                    : cat({stem, "-", Decimal(static_cast<std::uint64_t>(attempt)), ".log"});
        refusal.clear();
        e = openLogFile(system_, path_, true, file_, refusal);
    }
    if (e != err::Success) {
        notWritten(why(e, refusal));
    } else if (path) {
        line(cat(
            {"The log \"", *path, "\" named by /log is not written, so this one is: ", refused}));
    }
}

void RunLog::line(const std::string& text) {
    if (!file_.isOpen()) {
        return;
    }
    // A control character as an escape: no text, a value from the command line least of all,
    // can end the line or begin one of its own.
    std::string written = cat({system_.localTime(), "  "});
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte != 0x7F) {
            written += c;
        } else if (c == '\r' || c == '\n' || c == '\t') {
            written += c == '\r' ? "\\r" : c == '\n' ? "\\n" : "\\t";
        } else {
            written += {'\\', 'x', "0123456789abcdef"[byte >> 4], "0123456789abcdef"[byte & 15]};
        }
    }
    written += "\r\n";
    WinError e = system_.appendLog(file_, written);
    if (e != err::Success) {
        notWritten(why(e, ""));
        (void)file_.reset();
    }
}

} // namespace vexo
