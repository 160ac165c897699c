// Builds little-endian resource bytes by hand for the decoder tests.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace vexo::test {

class Bytes {
  public:
    Bytes& u8(std::uint8_t v) {
        data_.push_back(v);
        return *this;
    }
    Bytes& u16(std::uint16_t v) { return u8(static_cast<std::uint8_t>(v)).u8(v >> 8); }
    Bytes& u32(std::uint32_t v) {
        return u16(static_cast<std::uint16_t>(v)).u16(static_cast<std::uint16_t>(v >> 16));
    }
    Bytes& raw(std::span<const std::uint8_t> bytes) {
        data_.insert(data_.end(), bytes.begin(), bytes.end());
        return *this;
    }
    Bytes& text(const std::string& s) {
        data_.insert(data_.end(), s.begin(), s.end());
        return *this;
    }
    // UTF-16 units with their NUL.
    Bytes& wz(const std::u16string& s) {
        for (char16_t c : s) {
            u16(c);
        }
        return u16(0);
    }
    Bytes& ordinal(std::uint16_t id) { return u16(0xFFFF).u16(id); }
    Bytes& align(std::size_t n) {
        while (data_.size() % n != 0) {
            u8(0);
        }
        return *this;
    }
    [[nodiscard]] std::size_t size() const { return data_.size(); }
    [[nodiscard]] const std::vector<std::uint8_t>& get() const { return data_; }
    operator std::span<const std::uint8_t>() const { return data_; }

  private:
    std::vector<std::uint8_t> data_;
};

// One .res entry with ordinal type and name.
inline Bytes resEntry(std::uint16_t type, std::uint16_t name, const Bytes& data,
                      std::uint16_t language = 0x0804) {
    Bytes b;
    b.u32(static_cast<std::uint32_t>(data.size())).u32(32).ordinal(type).ordinal(name);
    b.u32(0).u16(0x1030).u16(language).u32(0).u32(0);
    b.raw(data).align(4);
    return b;
}

// The empty entry that starts every .res file.
inline Bytes resStart() {
    return resEntry(0, 0, Bytes{}, 0);
}

} // namespace vexo::test
