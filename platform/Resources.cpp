#include "platform/Resources.h"

#include "platform/ByteReader.h"

#include <algorithm>

namespace vexo {

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
