// What an installation changed on the machine, in the order it changed it, each change with
// what was there before, so that a run that fails can be undone newest first. It is plain
// data: the installation returns it beside its report, and a run whose undo must outlive it
// (the MSI's rollback) keeps it as text in a file, a line for each change as it is made.
#pragma once

#include "install/InstallFeedback.h"
#include "platform/Registry.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vexo {

enum class ChangeKind : std::uint8_t {
    PortCreated,      // the Standard TCP/IP port `name`
    FileCopied,       // the file `name` in the driver directory of `environment`, new there
    DriverRegistered, // the driver `name` for `environment`, `version`, not registered before
    PrinterAdded,     // the printer `name`
    PrinterChanged,   // the printer `name`, whose port, location and comment were `before`
    ValueWritten,     // the value `valueName` of the key `name` under `root`; `previous` its
                      // data before, none when it had none
    KeyCreated,       // the key `name` under `root`, which did not exist
    DevModeSet,       // the printer `name`'s device mode for every user, `devMode` before
};

struct Change {
    ChangeKind kind = ChangeKind::PortCreated;
    std::string name;
    std::string environment;
    std::uint32_t version = 0;
    RegRoot root = RegRoot::LocalMachine;
    std::string valueName;
    std::optional<RegValue> previous;
    struct PrinterFields {
        std::string port, location, comment;
    } before;
    std::vector<std::uint8_t> devMode;

    [[nodiscard]] static Change of(ChangeKind kind, std::string name) {
        Change change;
        change.kind = kind;
        change.name = std::move(name);
        return change;
    }
    [[nodiscard]] bool operator==(const Change& other) const;
};

using ChangeRecord = std::vector<Change>;

// Adds each change to the record as it is made, and tells the feedback (which may keep it
// elsewhere too). A run that keeps no record (the wizard, which undoes nothing) asks nothing
// more of the machine than it always has.
class ChangeLog {
  public:
    ChangeLog(ChangeRecord& record, InstallFeedback& feedback, bool keeping)
        : record_(record), feedback_(feedback), keeping_(keeping) {}
    void add(Change change);
    [[nodiscard]] bool keeping() const { return keeping_; }

  private:
    ChangeRecord& record_;
    InstallFeedback& feedback_;
    bool keeping_;
};

// An open key (with query and set rights) and where it is.
struct OpenKey {
    const RegKey& key;
    RegRoot root;
    const std::string& path;
};
// Sets the value `name` of an open key, keeping the change with the value it replaces. When
// a record is kept, a value whose earlier state cannot be read is not written (the read's
// error is returned): the undo could not put it back.
WinError setRecorded(Registry& registry, ChangeLog& changes, const OpenKey& key,
                     const std::string& name, std::uint32_t type,
                     const std::vector<std::uint8_t>& data);
// The same under the existing key `path`, which it opens.
RegWrite writeRecorded(Registry& registry, ChangeLog& changes, RegRoot root,
                       const std::string& path, const std::string& name, std::uint32_t type,
                       const std::vector<std::uint8_t>& data);

// The record as text: a first line that names the run by its token, then a line for each
// change, fields separated by tabs, every control character and backslash escaped.
[[nodiscard]] std::string recordHeader(std::string_view token);
[[nodiscard]] std::string changeLine(const Change& change);

// The line that ends a record whose changes must not be undone (again).
inline constexpr std::string_view kRecordSpent = "spent";

// The last record of a text that holds one or more, one after the other.
struct ReadRecord {
    std::string token;
    ChangeRecord changes;
    bool spent = false;
    std::string fault; // what makes the text no record of ours, empty when nothing does
};
[[nodiscard]] ReadRecord readRecord(std::string_view text);

} // namespace vexo
