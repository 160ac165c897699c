// The resources of a compiled resource file (.res), read in place: the bytes that windres
// writes and the linker puts into the program, so the headless backend and the tests read
// the same templates, strings and icons as Windows does.
#pragma once

#include "platform/Resources.h"
#include "tests/sim/DialogTemplate.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace vexo {

// One resource of the file. `data` points into the file's bytes.
struct ResEntry {
    NameOrId type;
    NameOrId name;
    std::uint16_t language = 0;
    std::uint16_t memoryFlags = 0;
    std::uint32_t dataVersion = 0;
    std::uint32_t version = 0;
    std::uint32_t characteristics = 0;
    std::span<const std::uint8_t> data;
};

class ResFileResources final : public Resources {
  public:
    // Indexes the entries of `bytes`, which must outlive this object. Reading stops at the
    // first malformed entry (a header or data that runs past the end, a name without its
    // terminator); the entries before it stay available and complete() is false.
    explicit ResFileResources(std::span<const std::uint8_t> bytes);

    // The first entry of numeric type `type` and numeric name `id`, in any language.
    [[nodiscard]] std::optional<std::span<const std::uint8_t>>
    find(std::uint16_t type, std::uint16_t id) const override;

    // Every entry in file order, without the empty entry that starts a .res file.
    [[nodiscard]] const std::vector<ResEntry>& entries() const { return entries_; }
    // False when the file ended in a malformed entry.
    [[nodiscard]] bool complete() const { return complete_; }

  private:
    std::vector<ResEntry> entries_;
    bool complete_ = true;
};

// A string-table entry, UTF-8; empty when missing or empty.
std::string loadStringResource(const Resources& resources, std::uint16_t id);

} // namespace vexo
