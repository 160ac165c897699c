// The change record of an installation kept in a file, for an undo that runs after the
// installation has ended (the MSI's rollback). The file is only ever appended to, through the
// log's safeguards (no link, no foreign owner): a run writes a first line with its token and a
// line for each change as it is made; a line "spent" ends a record that must not be undone
// again (undone already, or committed). A record is read back whole, and only the last run's
// counts.
#pragma once

#include "install/ChangeRecord.h"
#include "platform/System.h"

#include <string>

namespace vexo {

inline constexpr std::size_t kRecordFileLimit = 1 << 20;

class RecordFile {
  public:
    explicit RecordFile(System& system) : system_(system) {}

    // Opens the file for appending; Windows' error, `refusal` saying why when it is refused.
    [[nodiscard]] WinError open(const std::string& path, std::string& refusal);
    // Starts the record of a run named by `token`.
    [[nodiscard]] WinError start(const std::string& token);
    [[nodiscard]] WinError add(const Change& change);
    // Ends the record: nothing in it is to be undone any more.
    [[nodiscard]] WinError spend();
    [[nodiscard]] bool isOpen() const { return file_.isOpen(); }

  private:
    System& system_;
    LogFile file_;
};

} // namespace vexo
