// UTF-8 inside, UTF-16 at the Windows call: the one pair of conversions the Win32 layer uses.
// wchar_t is 16 bits with MinGW-w64, as with every Windows compiler.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vexo::win32 {

// UTF-8 to UTF-16, every code unit kept (embedded NULs too). nullopt when `utf8` is not
// valid UTF-8 or too long for the system's conversion; GetLastError then tells why.
[[nodiscard]] std::optional<std::wstring> tryWiden(std::string_view utf8);

// UTF-8 to UTF-16 for texts that are only shown: an invalid sequence becomes U+FFFD rather
// than failing the whole text.
[[nodiscard]] std::wstring widen(std::string_view utf8);

// UTF-16 to UTF-8, every code unit kept; an unpaired surrogate becomes U+FFFD.
[[nodiscard]] std::string narrow(std::wstring_view utf16);

// The text of a NUL-terminated wide string from the system; a null pointer is empty.
[[nodiscard]] std::string narrow(const wchar_t* utf16);

// A text that a system function writes into a caller's buffer, where the function returns
// the length copied, or the size it needs (NUL included) when the buffer is too small; empty
// when it fails. `fill(buffer, size)` is the call.
template <class Fill> std::wstring sizedText(Fill fill, std::uint32_t initialSize) {
    std::wstring text(initialSize, L'\0');
    for (int round = 0; round < 8; ++round) {
        const auto result = fill(text.data(), static_cast<std::uint32_t>(text.size()));
        if (result == 0) {
            return std::wstring();
        }
        if (result < text.size()) {
            text.resize(result);
            return text;
        }
        text.assign(result, L'\0'); // grew since it was measured
    }
    return std::wstring();
}

} // namespace vexo::win32
