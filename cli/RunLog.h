// The log of a command-line run: UTF-8 text, one line per step, each with the local time.
// A named log is appended to (two runs may share one); without a name, or when the named
// one is refused, the run writes a fresh file in the temporary folder under a name nobody
// can foresee. Nothing a user prepared in a folder every user may write to (C:\Windows\Temp,
// C:\ProgramData) can make the installer write elsewhere: see openLogFile. A log that
// cannot be written never stops the run: the debugger output says why.
#pragma once

#include "platform/System.h"

#include <optional>
#include <string>

namespace vexo {

// Why `path` cannot be a log file whatever the disk holds (a device, a pipe, a stream);
// empty when it may be one.
[[nodiscard]] std::string notADiskPath(std::string path);

// Opens the log file `path` for appending, so that nothing a user prepared can make the
// program write elsewhere: the folder is opened first and must lead where the path says (no
// link, junction or mount point on the way), then the file in that very folder, and what
// was opened is judged before a byte is written. Refused with err::AccessDenied, `refusal`
// saying why: a path that is not on a disk or a share, a reparse point, a folder, something
// other than a disk file, a file with other hard links, and (elevated) a file whose owner
// is not trusted. `createNew` only creates it (err::FileExists when something is there).
// `file` stays closed on failure.
[[nodiscard]] WinError openLogFile(System& system, const std::string& path, bool createNew,
                                   LogFile& file, std::string& refusal);

class RunLog {
  public:
    explicit RunLog(System& system) : system_(system) {}

    // Opens `path` for appending, or without one (or when `path` is refused) a new
    // "VexoSetup-<time>-<process>-<random>.log" in the temporary folder, whose first line
    // then says why `path` was refused.
    void open(const std::optional<std::string>& path);
    // Writes "<local time>  <text>" and a line break. `text` stays on that one line: each
    // control character in it is written as an escape ("\r", "\n", "\t", "\x07"), so a
    // caller that means several lines writes them one by one.
    void line(const std::string& text);

    [[nodiscard]] bool isOpen() const { return file_.isOpen(); }
    [[nodiscard]] const std::string& path() const { return path_; }

  private:
    void notWritten(const std::string& why);
    std::string why(WinError e, const std::string& refusal);

    System& system_;
    LogFile file_;
    std::string path_;
};

} // namespace vexo
