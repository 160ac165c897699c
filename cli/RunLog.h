// The log of a command-line run: UTF-8 text, one line per step, each with the local time.
// A named log is appended to; without a name the run writes a fresh file in the temporary
// folder. The file is opened without following a link and refused when it is a reparse
// point or has other hard links, so that a name prepared beforehand in a folder every user
// may write to (C:\Windows\Temp, as LocalSystem) cannot make the installer write elsewhere.
// A log that cannot be written never stops the run: the debugger output says why.
#pragma once

#include "platform/System.h"

#include <optional>
#include <string>

namespace vexo {

class RunLog {
  public:
    explicit RunLog(System& system) : system_(system) {}

    // Opens `path` for appending, or without one a new "VexoSetup-<time>-<process>.log" in
    // the temporary folder.
    void open(const std::optional<std::string>& path);
    // Writes "<local time>  <text>" and a line break; a text of several lines as that many
    // such lines.
    void line(const std::string& text);

    [[nodiscard]] bool isOpen() const { return file_.isOpen(); }
    [[nodiscard]] const std::string& path() const { return path_; }

  private:
    void notWritten(const std::string& why);

    System& system_;
    SystemHandle file_;
    std::string path_;
};

} // namespace vexo
