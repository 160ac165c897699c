// The log of a command-line run: UTF-8 text, one line per step, each with the local time.
// A named log is appended to (two runs may share one); without a name, or when the named
// one is refused, the run writes a fresh file in the temporary folder under a name nobody
// can foresee. Nothing a user prepared in a folder every user may write to (C:\Windows\Temp,
// C:\ProgramData) can make the installer write elsewhere: see System::openLog. A log that
// cannot be written never stops the run: the debugger output says why.
#pragma once

#include "platform/System.h"

#include <optional>
#include <string>

namespace vexo {

// Why `path` cannot be a log file whatever the disk holds (a device, a pipe, a stream);
// empty when it may be one.
[[nodiscard]] std::string notADiskPath(std::string path);

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
    SystemHandle file_;
    std::string path_;
};

} // namespace vexo
