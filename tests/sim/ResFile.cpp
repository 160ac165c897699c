#include "tests/sim/ResFile.h"

#include "platform/ByteReader.h"
#include "tests/sim/DialogTemplate.h"
#include "tests/sim/Utf.h"

namespace vexo {

namespace {

// The fixed part of a header: DataSize and HeaderSize, TYPE and NAME as ordinals, then
// DataVersion, MemoryFlags, LanguageId, Version and Characteristics.
constexpr std::uint32_t kMinHeaderSize = 8 + 4 + 4 + 16;

// Decodes the header at the reader's position (which is DWORD-aligned); fills `entry` and
// moves the reader to the next entry.
bool readEntry(ByteReader& reader, std::span<const std::uint8_t> file, ResEntry& entry) {
    const std::size_t start = reader.pos();
    std::uint32_t dataSize = 0;
    std::uint32_t headerSize = 0;
    if (!reader.u32(dataSize) || !reader.u32(headerSize)) {
        return false;
    }
    if (headerSize < kMinHeaderSize || headerSize > file.size() - start) {
        return false;
    }
    // The fields after the names are read within the header, never beyond it.
    ByteReader header(file.subspan(start, headerSize), 8);
    if (!readNameOrId(header, entry.type) || !readNameOrId(header, entry.name) ||
        !header.align(4) || !header.u32(entry.dataVersion) || !header.u16(entry.memoryFlags) ||
        !header.u16(entry.language) || !header.u32(entry.version) ||
        !header.u32(entry.characteristics)) {
        return false;
    }
    ByteReader body(file, start + headerSize);
    if (!body.bytes(dataSize, entry.data)) {
        return false;
    }
    // The next entry starts on a DWORD boundary; the last one may lack its padding.
    if (!body.align(4)) {
        body = ByteReader(file, file.size());
    }
    reader = body;
    return true;
}

} // namespace

ResFileResources::ResFileResources(std::span<const std::uint8_t> bytes) {
    ByteReader reader(bytes);
    while (!reader.atEnd()) {
        ResEntry entry;
        if (!readEntry(reader, bytes, entry)) {
            complete_ = false;
            return;
        }
        const bool emptyEntry = entry.type.id == 0 && entry.name.id == 0 && entry.data.empty();
        if (!emptyEntry) {
            entries_.push_back(entry);
        }
    }
}

std::optional<std::span<const std::uint8_t>> ResFileResources::find(std::uint16_t type,
                                                                    std::uint16_t id) const {
    for (const ResEntry& entry : entries_) {
        if (entry.type.id == type && entry.name.id == id) {
            return entry.data;
        }
    }
    return std::nullopt;
}

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

} // namespace vexo
