// The UTF-8 / UTF-16 conversions: valid text round-trips, invalid input becomes U+FFFD.
#include "tests/sim/Utf.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace vexo {
namespace {

const std::string kFffd = "\xEF\xBF\xBD";

TEST(Utf, ValidTextRoundTrips) {
    const struct {
        std::string utf8;
        std::u16string utf16;
    } cases[] = {
        {"", u""},
        {"LPT1:", u"LPT1:"},
        {"\xC3\xA9", u"\u00E9"},                           // two bytes
        {"关于 VEXO(&A)...", u"\u5173\u4e8e VEXO(&A)..."}, // three bytes
        {"\xEF\xBF\xBF", u"\uFFFF"},
        {"\xF0\x9F\x96\xA8", u"\U0001F5A8"}, // four bytes, a surrogate pair
        {"\xF4\x8F\xBF\xBF", u"\U0010FFFF"}, // the last code point
        {std::string("a\0b", 3), std::u16string(u"a\0b", 3)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.utf8);
        EXPECT_EQ(utf8ToUtf16(c.utf8), c.utf16);
        EXPECT_EQ(utf16ToUtf8(c.utf16), c.utf8);
    }
}

TEST(Utf, InvalidUtf16BecomesReplacement) {
    const struct {
        const char* name;
        std::u16string utf16;
        std::string utf8;
    } cases[] = {
        {"lone high surrogate at the end", u"a\xD83D", "a" + kFffd},
        {"lone low surrogate",
         u"\xDDA8"
         u"b",
         kFffd + "b"},
        {"high surrogate before a letter", u"\xD83Dz", kFffd + "z"},
        {"two high surrogates then a low one", u"\xD83D\xD83D\xDDA8", kFffd + "\xF0\x9F\x96\xA8"},
        {"reversed pair", u"\xDDA8\xD83D", kFffd + kFffd},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(utf16ToUtf8(c.utf16), c.utf8);
    }
}

TEST(Utf, InvalidUtf8BecomesReplacement) {
    const std::u16string r = u"\uFFFD";
    const struct {
        const char* name;
        std::string utf8;
        std::u16string utf16;
    } cases[] = {
        {"stray continuation byte",
         "a\x80"
         "b",
         u"a" + r + u"b"},
        {"lead byte at the end", "a\xE5", u"a" + r},
        {"three-byte form cut short",
         "\xE5\x85"
         "A",
         r + u"A"},
        {"four-byte form cut short", "\xF0\x9F\x96", r},
        {"overlong two bytes", "\xC0\xAF", r + r},
        {"overlong three bytes", "\xE0\x80\xAF", r + r + r},
        {"overlong four bytes", "\xF0\x8F\xBF\xBF", r + r + r + r},
        {"encoded surrogate", "\xED\xA0\x80", r + r + r},
        {"above U+10FFFF", "\xF4\x90\x80\x80", r + r + r + r},
        {"lead byte F5", "\xF5\x80", r + r},
        {"byte FF", "\xFF", r},
        {"lead byte followed by a new lead byte", "\xE5\xE5\x85\xB3", r + u"\u5173"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(utf8ToUtf16(c.utf8), c.utf16);
    }
}

TEST(Utf, EveryCodePointRoundTrips) {
    for (char32_t c = 0; c <= 0x10FFFF; c += (c < 0x800 ? 1 : 0x3F)) {
        if (c >= 0xD800 && c <= 0xDFFF) {
            continue;
        }
        std::u16string utf16;
        if (c < 0x10000) {
            utf16 += static_cast<char16_t>(c);
        } else {
            utf16 += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
            utf16 += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
        }
        ASSERT_EQ(utf8ToUtf16(utf16ToUtf8(utf16)), utf16)
            << std::hex << static_cast<std::uint32_t>(c);
    }
}

} // namespace
} // namespace vexo
