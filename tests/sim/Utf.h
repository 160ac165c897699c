// Checked conversions between UTF-8 (the program's text) and UTF-16 (the compiled
// resources), for the simulated machine and its parsers; the Windows build converts through
// the system (platform/win32/WideText.h). An invalid sequence in the input becomes U+FFFD in
// the output: an unpaired surrogate, and in UTF-8 a stray or missing continuation byte, an
// overlong form, an encoded surrogate or a value above U+10FFFF (each maximal invalid part
// is one U+FFFD).
#pragma once

#include <string>
#include <string_view>

namespace vexo {

std::string utf16ToUtf8(std::u16string_view text);
std::u16string utf8ToUtf16(std::string_view text);

// The one case-insensitive comparison of names (keys, paths, classes, messages): ASCII
// letters only, as the C locale folds them.
std::string lowerAscii(std::string_view text);
bool equalsIgnoringCase(std::string_view a, std::string_view b);

} // namespace vexo
