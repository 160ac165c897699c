// Little-endian reading of a byte span for the resource decoders: every read is checked
// against the end of the span and fails (returning false, the output untouched) rather than
// reading past it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <utility>

namespace vexo {

class ByteReader {
  public:
    explicit ByteReader(std::span<const std::uint8_t> bytes, std::size_t pos = 0)
        : bytes_(bytes), pos_(pos) {}

    [[nodiscard]] std::size_t pos() const { return pos_; }
    [[nodiscard]] std::size_t remaining() const {
        return pos_ < bytes_.size() ? bytes_.size() - pos_ : 0;
    }
    [[nodiscard]] bool atEnd() const { return remaining() == 0; }

    [[nodiscard]] bool u8(std::uint8_t& out) {
        if (remaining() < 1) {
            return false;
        }
        out = bytes_[pos_++];
        return true;
    }
    [[nodiscard]] bool u16(std::uint16_t& out) {
        if (remaining() < 2) {
            return false;
        }
        out = static_cast<std::uint16_t>(bytes_[pos_] | (bytes_[pos_ + 1] << 8));
        pos_ += 2;
        return true;
    }
    [[nodiscard]] bool i16(std::int16_t& out) {
        std::uint16_t value = 0;
        if (!u16(value)) {
            return false;
        }
        out = static_cast<std::int16_t>(value);
        return true;
    }
    [[nodiscard]] bool u32(std::uint32_t& out) {
        if (remaining() < 4) {
            return false;
        }
        out = static_cast<std::uint32_t>(bytes_[pos_]) |
              (static_cast<std::uint32_t>(bytes_[pos_ + 1]) << 8) |
              (static_cast<std::uint32_t>(bytes_[pos_ + 2]) << 16) |
              (static_cast<std::uint32_t>(bytes_[pos_ + 3]) << 24);
        pos_ += 4;
        return true;
    }
    // The next `count` bytes.
    [[nodiscard]] bool bytes(std::size_t count, std::span<const std::uint8_t>& out) {
        if (remaining() < count) {
            return false;
        }
        out = bytes_.subspan(pos_, count);
        pos_ += count;
        return true;
    }
    [[nodiscard]] bool skip(std::size_t count) {
        if (remaining() < count) {
            return false;
        }
        pos_ += count;
        return true;
    }
    // UTF-16 units up to a NUL unit, which is consumed and not stored. False when the span
    // ends first.
    [[nodiscard]] bool utf16z(std::u16string& out) {
        std::u16string text;
        ByteReader probe = *this;
        for (;;) {
            std::uint16_t unit = 0;
            if (!probe.u16(unit)) {
                return false;
            }
            if (unit == 0) {
                break;
            }
            text += static_cast<char16_t>(unit);
        }
        *this = probe;
        out = std::move(text);
        return true;
    }
    // Moves to the next multiple of `alignment` from the start of the span. May move to the
    // end of the span but not past it.
    [[nodiscard]] bool align(std::size_t alignment) {
        const std::size_t aligned = (pos_ + alignment - 1) / alignment * alignment;
        if (aligned > bytes_.size()) {
            return false;
        }
        pos_ = aligned;
        return true;
    }

  private:
    std::span<const std::uint8_t> bytes_;
    std::size_t pos_;
};

} // namespace vexo
