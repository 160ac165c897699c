// Access to the program's compiled resources (the same bytes on Windows and in the
// simulated backend), and the decoding of the formats the installer reads itself.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace vexo {

namespace rt {
inline constexpr std::uint16_t Icon = 3;
inline constexpr std::uint16_t Dialog = 5;
inline constexpr std::uint16_t String = 6;
inline constexpr std::uint16_t GroupIcon = 14;
inline constexpr std::uint16_t Version = 16;
inline constexpr std::uint16_t Manifest = 24;
inline constexpr std::uint16_t DlgInit = 240; // initial items of a dialog's list controls
} // namespace rt

class Resources {
  public:
    virtual ~Resources() = default;
    // The bytes of the resource of numeric type and id, in any language; nullopt if absent.
    [[nodiscard]] virtual std::optional<std::span<const std::uint8_t>>
    find(std::uint16_t type, std::uint16_t id) const = 0;
};

// One entry of a dialog's initial-items resource: add `text` to control `controlId`.
struct DlgInitItem {
    std::uint16_t controlId = 0;
    std::uint16_t message = 0; // 0x0403: add a string to a combo box
    std::string text;          // UTF-8
};

// Decodes a DLGINIT resource: records {WORD id, WORD message, DWORD length, bytes},
// ended by a zero WORD. Text bytes are UTF-8 with a terminating NUL.
std::vector<DlgInitItem> parseDlgInit(std::span<const std::uint8_t> data);

inline constexpr std::uint16_t kDlgInitAddString = 0x0403;

} // namespace vexo
