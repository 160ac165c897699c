// The program's compiled resources (strings, initial list items, icon, manifest, version)
// and the decoders that read them, including their behaviour on damaged input.
#include "platform/Resources.h"
#include "resources/ResourceIds.h"
#include "tests/sim/EmbeddedResources.h"
#include "tests/sim/ResFile.h"
#include "tests/unit/ResBytes.h"

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace vexo {
namespace {

using test::Bytes;
using test::resEntry;
using test::resStart;

// Reads little-endian fields at given offsets; the callers check the size first.
struct LittleEndian {
    explicit LittleEndian(std::span<const std::uint8_t> bytes) : b(bytes) {}
    [[nodiscard]] std::uint16_t u16(std::size_t at) const {
        return static_cast<std::uint16_t>(b[at] | (b[at + 1] << 8));
    }
    [[nodiscard]] std::uint32_t u32(std::size_t at) const {
        return u16(at) | (static_cast<std::uint32_t>(u16(at + 2)) << 16);
    }
    std::span<const std::uint8_t> b;
};

std::string asText(std::span<const std::uint8_t> bytes) {
    return {bytes.begin(), bytes.end()};
}

// ASCII text as the UTF-16LE bytes that a resource holds.
std::string utf16Bytes(const std::string& ascii) {
    std::string out;
    for (char c : ascii) {
        out += c;
        out += '\0';
    }
    return out;
}

// ---- The embedded resources --------------------------------------------------------------

TEST(EmbeddedResources, FileReadsToItsEnd) {
    ResFileResources file(embeddedResourceBytes());
    EXPECT_TRUE(file.complete());
    EXPECT_FALSE(file.entries().empty());
}

TEST(EmbeddedResources, EverythingIsChinesePrc) {
    ResFileResources file(embeddedResourceBytes());
    for (const ResEntry& e : file.entries()) {
        EXPECT_EQ(e.language, 0x0804)
            << "type " << e.type.id.value_or(0) << " name " << e.name.id.value_or(0);
    }
}

TEST(EmbeddedResources, AllFiveDialogTemplatesArePresent) {
    for (int id :
         {IDD_ABOUT, IDD_PRINTER_SETTINGS, IDD_OS_SELECT, IDD_CREATE_PORT, IDD_PORT_SELECT}) {
        EXPECT_TRUE(embeddedResources().find(rt::Dialog, static_cast<std::uint16_t>(id))) << id;
    }
}

TEST(EmbeddedResources, AboutMenuString) {
    EXPECT_EQ(loadStringResource(embeddedResources(), IDS_ABOUTBOX), "关于 VEXO(&A)...");
}

TEST(EmbeddedResources, StringsThatDoNotExistAreEmpty) {
    // 100 and 102 share the block of 101; 1 and 4000 have no block at all.
    for (std::uint16_t id : {100, 102, 111, 1, 4000, 65535}) {
        EXPECT_EQ(loadStringResource(embeddedResources(), id), "") << id;
    }
}

TEST(EmbeddedResources, SerialSettingsListsHaveTheirItems) {
    const std::vector<std::pair<int, std::vector<std::string>>> expected = {
        {IDC_SET_PORT, {"LPT1", "LPT2", "LPT3", "COM1", "COM2", "COM3", "COM4"}},
        {IDC_SET_BAUD,
         {"300", "1200", "2400", "4800", "9600", "19200", "38400", "57600", "115200"}},
        {IDC_SET_DATA_BITS, {"5", "6", "7", "8"}},
        {IDC_SET_FLOW, {"None", "XonXoff", "Hardware"}},
        {IDC_SET_PARITY, {"Even", "Mark", "None", "Odd", "Space"}},
        {IDC_SET_STOP_BITS, {"1", "1.5", "2"}},
    };
    auto data = embeddedResources().find(rt::DlgInit, IDD_PRINTER_SETTINGS);
    ASSERT_TRUE(data);
    const std::vector<DlgInitItem> items = parseDlgInit(*data);
    std::map<int, std::vector<std::string>> byControl;
    for (const DlgInitItem& item : items) {
        EXPECT_EQ(item.message, kDlgInitAddString);
        byControl[item.controlId].push_back(item.text);
    }
    EXPECT_EQ(byControl.size(), expected.size()) << "only the six serial lists have items";
    EXPECT_EQ(byControl.count(IDC_SET_MODEL), 0u);
    for (const auto& [control, texts] : expected) {
        EXPECT_EQ(byControl[control], texts) << "control " << control;
    }
}

TEST(EmbeddedResources, NoOtherDialogHasInitialItems) {
    for (int id : {IDD_ABOUT, IDD_OS_SELECT, IDD_CREATE_PORT, IDD_PORT_SELECT}) {
        EXPECT_FALSE(embeddedResources().find(rt::DlgInit, static_cast<std::uint16_t>(id))) << id;
    }
}

TEST(EmbeddedResources, IconGroupHasLargeAndSmallImages) {
    auto group = embeddedResources().find(rt::GroupIcon, IDI_APP);
    ASSERT_TRUE(group);
    LittleEndian r(*group);
    ASSERT_GE(group->size(), 6u);
    EXPECT_EQ(r.u16(0), 0);
    EXPECT_EQ(r.u16(2), 1) << "an icon, not a cursor";
    const int count = r.u16(4);
    ASSERT_EQ(group->size(), 6u + 14u * static_cast<std::size_t>(count));
    std::set<int> sizes;
    for (int i = 0; i < count; ++i) {
        const std::size_t at = 6 + 14 * static_cast<std::size_t>(i);
        const int width = (*group)[at] == 0 ? 256 : (*group)[at];
        const int height = (*group)[at + 1] == 0 ? 256 : (*group)[at + 1];
        EXPECT_EQ(width, height);
        sizes.insert(width);
        const std::uint32_t bytes = r.u32(at + 8);
        const std::uint16_t iconId = r.u16(at + 12);
        auto image = embeddedResources().find(rt::Icon, iconId);
        ASSERT_TRUE(image) << "icon image " << iconId;
        EXPECT_EQ(image->size(), bytes);
    }
    EXPECT_TRUE(sizes.count(32)) << "32x32";
    EXPECT_TRUE(sizes.count(16)) << "16x16";
}

TEST(EmbeddedResources, ManifestAsksForHighestLevelAndCommonControls6) {
    auto manifest = embeddedResources().find(rt::Manifest, 1);
    ASSERT_TRUE(manifest);
    const std::string xml = asText(*manifest);
    for (const char* part :
         {"level=\"highestAvailable\"", "uiAccess=\"false\"",
          "name=\"Microsoft.Windows.Common-Controls\"", "version=\"6.0.0.0\"",
          "publicKeyToken=\"6595b64144ccf1df\"", "language=\"*\"", "processorArchitecture=\"*\""}) {
        EXPECT_NE(xml.find(part), std::string::npos) << part;
    }
}

// Without a compatibility section Windows 8.1 and later report version 6.2, which the
// operating-system page classifies as its last code.
TEST(EmbeddedResources, ManifestDeclaresNoOperatingSystemCompatibility) {
    auto manifest = embeddedResources().find(rt::Manifest, 1);
    ASSERT_TRUE(manifest);
    const std::string xml = asText(*manifest);
    EXPECT_EQ(xml.find("supportedOS"), std::string::npos);
    EXPECT_EQ(xml.find("compatibility"), std::string::npos);
    EXPECT_EQ(xml.find("maxversiontested"), std::string::npos);
}

TEST(EmbeddedResources, VersionInformation) {
    auto version = embeddedResources().find(rt::Version, 1);
    ASSERT_TRUE(version);
    const std::string blob = asText(*version);
    // VS_FIXEDFILEINFO: signature, structure version, then file and product version.
    const std::string signature("\xBD\x04\xEF\xFE", 4);
    const std::size_t at = blob.find(signature);
    ASSERT_NE(at, std::string::npos);
    ASSERT_GE(blob.size(), at + 24);
    LittleEndian r(*version);
    EXPECT_EQ(r.u32(at + 8), 0x00040000u) << "file version 4.0";
    EXPECT_EQ(r.u32(at + 12), 0u) << "file version .0.0";
    EXPECT_EQ(r.u32(at + 16), 0x00040000u) << "product version 4.0";
    EXPECT_EQ(r.u32(at + 20), 0u) << "product version .0.0";
    for (const char* text :
         {"080404b0", "CompanyName", "VEXO", "ProductName", "VEXO Printer Driver Setup",
          "OriginalFilename", "VexoSetup.exe", "FileVersion", "4.0.0.0", "Translation"}) {
        EXPECT_NE(blob.find(utf16Bytes(text)), std::string::npos) << text;
    }
    // Translation: Chinese (PRC), Unicode.
    EXPECT_NE(blob.find(std::string("\x04\x08\xB0\x04", 4)), std::string::npos);
}

// ---- ResFileResources on hand-made files ---------------------------------------------------

Bytes payload(const std::string& s) {
    Bytes b;
    b.text(s);
    return b;
}

TEST(ResFile, FindsByTypeAndIdInFileOrder) {
    Bytes file;
    file.raw(resStart())
        .raw(resEntry(rt::String, 7, payload("abc")))
        .raw(resEntry(rt::Dialog, 7, payload("dialog")))
        .raw(resEntry(rt::String, 7, payload("second"), 0x0409));
    ResFileResources res(file);
    EXPECT_TRUE(res.complete());
    ASSERT_EQ(res.entries().size(), 3u);
    EXPECT_EQ(asText(*res.find(rt::String, 7)), "abc");
    EXPECT_EQ(asText(*res.find(rt::Dialog, 7)), "dialog");
    EXPECT_FALSE(res.find(rt::Dialog, 8));
    EXPECT_FALSE(res.find(rt::Icon, 7));
    EXPECT_EQ(res.entries()[2].language, 0x0409);
    EXPECT_EQ(res.entries()[0].memoryFlags, 0x1030);
}

TEST(ResFile, NamedEntriesAreListedButNotFoundById) {
    Bytes named;
    named.u32(4).u32(0); // sizes, header size patched below
    named.wz(u"MYTYPE").wz(u"NAME").align(4);
    named.u32(0).u16(0).u16(0x0804).u32(0).u32(0);
    const std::size_t headerSize = named.size();
    named.text("data");
    std::vector<std::uint8_t> bytes = named.get();
    bytes[4] = static_cast<std::uint8_t>(headerSize);

    Bytes file;
    file.raw(resStart()).raw(bytes).raw(resEntry(rt::Icon, 1, payload("x")));
    ResFileResources res(file);
    EXPECT_TRUE(res.complete());
    ASSERT_EQ(res.entries().size(), 2u);
    EXPECT_EQ(res.entries()[0].type.name, "MYTYPE");
    EXPECT_EQ(res.entries()[0].name.name, "NAME");
    EXPECT_FALSE(res.entries()[0].type.id.has_value());
    EXPECT_EQ(asText(res.entries()[0].data), "data");
    EXPECT_EQ(asText(*res.find(rt::Icon, 1)), "x");
}

TEST(ResFile, DamagedFiles) {
    const Bytes good = resEntry(rt::String, 1, payload("hello"));
    auto withStart = [](std::span<const std::uint8_t> tail) {
        Bytes b;
        b.raw(resStart()).raw(tail);
        return b;
    };
    auto patched = [&](std::size_t offset, std::uint32_t value) {
        std::vector<std::uint8_t> v = good.get();
        for (int i = 0; i < 4; ++i) {
            v[offset + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(value >> (8 * i));
        }
        return v;
    };
    std::vector<std::uint8_t> cutHeader(good.get().begin(), good.get().begin() + 20);
    std::vector<std::uint8_t> cutData(good.get().begin(), good.get().begin() + 34);
    std::vector<std::uint8_t> unpadded(good.get().begin(), good.get().begin() + 37);
    Bytes unterminatedName;
    unterminatedName.u32(0).u32(32).u16('A').u16('B').u16('C').u16('D').u16('E').u16('F');
    unterminatedName.u16('G').u16('H').u16('I').u16('J').u16('K').u16('L');

    const struct {
        const char* name;
        std::vector<std::uint8_t> tail;
        bool complete;
        std::size_t entries;
    } cases[] = {
        {"nothing after the start", {}, true, 0},
        {"one good entry", good.get(), true, 1},
        {"last entry without padding", unpadded, true, 1},
        {"three stray bytes", {1, 2, 3}, false, 0},
        {"header cut short", cutHeader, false, 0},
        {"data cut short", cutData, false, 0},
        {"header size below the minimum", patched(4, 16), false, 0},
        {"header size past the end", patched(4, 0x1000), false, 0},
        {"huge header size", patched(4, 0xFFFFFFFF), false, 0},
        {"data size past the end", patched(0, 9), false, 0},
        {"huge data size", patched(0, 0xFFFFFFF0), false, 0},
        {"type name without terminator", unterminatedName.get(), false, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Bytes file = withStart(c.tail);
        ResFileResources res(file);
        EXPECT_EQ(res.complete(), c.complete);
        EXPECT_EQ(res.entries().size(), c.entries);
        if (c.entries == 1) {
            EXPECT_EQ(asText(*res.find(rt::String, 1)), "hello");
        }
    }
    // Entries before the damage stay available.
    Bytes file;
    file.raw(resStart()).raw(good).raw(cutData);
    ResFileResources res(file);
    EXPECT_FALSE(res.complete());
    EXPECT_EQ(res.entries().size(), 1u);
    EXPECT_TRUE(res.find(rt::String, 1));
    // No bytes at all: an empty, complete file.
    ResFileResources none(std::span<const std::uint8_t>{});
    EXPECT_TRUE(none.complete());
    EXPECT_TRUE(none.entries().empty());
}

// ---- loadStringResource -------------------------------------------------------------------

class OneBlock : public Resources {
  public:
    OneBlock(std::uint16_t block, Bytes data) : block_(block), data_(std::move(data)) {}
    [[nodiscard]] std::optional<std::span<const std::uint8_t>>
    find(std::uint16_t type, std::uint16_t id) const override {
        if (type == rt::String && id == block_) {
            return std::span<const std::uint8_t>(data_);
        }
        return std::nullopt;
    }

  private:
    std::uint16_t block_;
    Bytes data_;
};

// A block of sixteen strings; string i is `texts[i]` (missing ones empty).
Bytes stringBlock(const std::vector<std::u16string>& texts) {
    Bytes b;
    for (std::size_t i = 0; i < 16; ++i) {
        const std::u16string t = i < texts.size() ? texts[i] : u"";
        b.u16(static_cast<std::uint16_t>(t.size()));
        for (char16_t c : t) {
            b.u16(c);
        }
    }
    return b;
}

TEST(StringTable, PicksTheStringOfItsBlock) {
    std::vector<std::u16string> texts(16);
    texts[0] = u"first";
    texts[5] = u"\u5173\u4e8e";
    texts[15] = u"last";
    texts[7] = u"\U0001F5A8";            // a printer, outside the basic plane
    OneBlock res(3, stringBlock(texts)); // ids 32..47
    EXPECT_EQ(loadStringResource(res, 32), "first");
    EXPECT_EQ(loadStringResource(res, 37), "关于");
    EXPECT_EQ(loadStringResource(res, 39), "\xF0\x9F\x96\xA8");
    EXPECT_EQ(loadStringResource(res, 47), "last");
    EXPECT_EQ(loadStringResource(res, 33), "");
    EXPECT_EQ(loadStringResource(res, 31), "") << "block 2";
    EXPECT_EQ(loadStringResource(res, 48), "") << "block 4";
}

TEST(StringTable, DamagedBlocks) {
    auto block = [](auto build) {
        Bytes b;
        build(b);
        return b;
    };
    const struct {
        const char* name;
        Bytes data;
        std::string expected; // of string 1 of the block
    } cases[] = {
        {"empty block", Bytes{}, ""},
        {"ends after string 0", block([](Bytes& b) { b.u16(0); }), ""},
        {"count past the end", block([](Bytes& b) { b.u16(0).u16(5).u16('a'); }), ""},
        {"odd byte at the end", block([](Bytes& b) { b.u16(0).u16(1).u8('a'); }), ""},
        {"earlier count past the end", block([](Bytes& b) { b.u16(0x7FFF).u16(1).u16('a'); }), ""},
        {"short block is enough", block([](Bytes& b) { b.u16(0).u16(2).u16('o').u16('k'); }), "ok"},
        {"unpaired surrogate", block([](Bytes& b) { b.u16(0).u16(2).u16(0xD800).u16('x'); }),
         "\xEF\xBF\xBDx"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        OneBlock res(1, c.data);
        EXPECT_EQ(loadStringResource(res, 1), c.expected);
    }
}

// ---- parseDlgInit -------------------------------------------------------------------------

Bytes record(std::uint16_t id, std::uint16_t message, const std::string& textWithNul) {
    Bytes b;
    b.u16(id).u16(message).u32(static_cast<std::uint32_t>(textWithNul.size())).text(textWithNul);
    return b;
}

TEST(DlgInit, RecordsUntilTheZeroWord) {
    Bytes data;
    data.raw(record(1014, 0x0403, std::string("LPT1\0", 5)))
        .raw(record(1015, 0x0403, std::string("\xE7\xAB\xAF\xE5\x8F\xA3\0", 7)))
        .raw(record(1016, 0x1234, std::string("\0", 1)))
        .u16(0)
        .raw(record(1017, 0x0403, std::string("after\0", 6)));
    const auto items = parseDlgInit(data);
    ASSERT_EQ(items.size(), 3u);
    EXPECT_EQ(items[0].controlId, 1014);
    EXPECT_EQ(items[0].message, 0x0403);
    EXPECT_EQ(items[0].text, "LPT1");
    EXPECT_EQ(items[1].text, "端口");
    EXPECT_EQ(items[2].message, 0x1234);
    EXPECT_EQ(items[2].text, "");
}

TEST(DlgInit, DamagedData) {
    auto cut = [](const Bytes& b, std::size_t n) {
        Bytes out;
        out.raw(std::span<const std::uint8_t>(b.get()).first(n));
        return out;
    };
    const Bytes one = record(7, 0x0403, std::string("abc\0", 4));
    Bytes two;
    two.raw(one).raw(one);
    Bytes lengthPastEnd;
    lengthPastEnd.u16(7).u16(0x0403).u32(100).text("abc");
    Bytes hugeLength;
    hugeLength.u16(7).u16(0x0403).u32(0xFFFFFFFF).text("abc");
    Bytes noNul;
    noNul.u16(7).u16(0x0403).u32(3).text("abc");
    Bytes innerNul;
    innerNul.u16(7).u16(0x0403).u32(5).text(std::string("ab\0cd", 5));
    Bytes endMark;
    endMark.u16(0);
    Bytes zeroLength;
    zeroLength.u16(7).u16(0x0403).u32(0).u16(0);

    const struct {
        const char* name;
        Bytes data;
        std::vector<std::string> texts;
    } cases[] = {
        {"empty", Bytes{}, {}},
        {"only the end mark", endMark, {}},
        {"one odd byte", cut(one, 1), {}},
        {"no end mark", one, {"abc"}},
        {"second record cut in its header", cut(two, one.size() + 5), {"abc"}},
        {"second record cut in its text", cut(two, two.size() - 1), {"abc"}},
        {"length past the end", lengthPastEnd, {}},
        {"huge length", hugeLength, {}},
        {"text without NUL", noNul, {"abc"}},
        {"text stops at its first NUL", innerNul, {"ab"}},
        {"zero length", zeroLength, {""}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> texts;
        for (const DlgInitItem& item : parseDlgInit(c.data)) {
            texts.push_back(item.text);
        }
        EXPECT_EQ(texts, c.texts);
    }
}

// Random damage to the real resource file and its DLGINIT data: the decoders must stay
// within their bytes (the sanitizer build checks that) and keep what they report consistent.
TEST(ResourceDecoders, SurviveRandomDamage) {
    std::mt19937 random(20260101);
    const std::span<const std::uint8_t> original = embeddedResourceBytes();
    for (int round = 0; round < 300; ++round) {
        std::vector<std::uint8_t> bytes(original.begin(), original.end());
        const int changes = 1 + static_cast<int>(random() % 8);
        for (int i = 0; i < changes; ++i) {
            bytes[random() % bytes.size()] = static_cast<std::uint8_t>(random());
        }
        bytes.resize(random() % (bytes.size() + 1));
        ResFileResources res(bytes);
        for (const ResEntry& e : res.entries()) {
            ASSERT_GE(e.data.data(), bytes.data());
            ASSERT_LE(e.data.data() + e.data.size(), bytes.data() + bytes.size());
            if (e.type.id == rt::DlgInit) {
                (void)parseDlgInit(e.data);
            }
        }
        (void)loadStringResource(res, IDS_ABOUTBOX);
    }
}

} // namespace
} // namespace vexo
