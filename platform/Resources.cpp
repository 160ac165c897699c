#include "platform/Resources.h"

#include "platform/ByteReader.h"
#include "platform/Utf.h"

#include <algorithm>

namespace vexo {

std::string loadStringResource(const Resources& resources, std::uint16_t id) {
    // Strings are stored sixteen to a block: block id/16 + 1 holds ids id & ~15 to id | 15,
    // each as a count of UTF-16 units followed by the units, without terminator.
    const auto block = resources.find(rt::String, static_cast<std::uint16_t>(id / 16 + 1));
    if (!block) {
        return {};
    }
    ByteReader reader(*block);
    for (unsigned index = 0;; ++index) {
        std::uint16_t length = 0;
        if (!reader.u16(length)) {
            return {};
        }
        if (index == id % 16u) {
            std::u16string text;
            text.reserve(length);
            for (std::uint16_t i = 0; i < length; ++i) {
                std::uint16_t unit = 0;
                if (!reader.u16(unit)) {
                    return {};
                }
                text += static_cast<char16_t>(unit);
            }
            return utf16ToUtf8(text);
        }
        if (!reader.skip(std::size_t{length} * 2)) {
            return {};
        }
    }
}

std::vector<DlgInitItem> parseDlgInit(std::span<const std::uint8_t> data) {
    std::vector<DlgInitItem> items;
    ByteReader reader(data);
    for (;;) {
        DlgInitItem item;
        std::uint32_t length = 0;
        std::span<const std::uint8_t> bytes;
        // A zero control id ends the list; so does a record cut short.
        if (!reader.u16(item.controlId) || item.controlId == 0 || !reader.u16(item.message) ||
            !reader.u32(length) || !reader.bytes(length, bytes)) {
            return items;
        }
        const auto end = std::find(bytes.begin(), bytes.end(), std::uint8_t{0});
        item.text.assign(bytes.begin(), end);
        items.push_back(std::move(item));
    }
}

} // namespace vexo
