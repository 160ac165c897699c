#include "platform/win32/WideText.h"

#include <windows.h>

#include <climits>

namespace vexo::win32 {

namespace {

std::optional<std::wstring> convertToWide(std::string_view utf8, DWORD flags) {
    if (utf8.empty()) {
        return std::wstring();
    }
    if (utf8.size() > static_cast<std::size_t>(INT_MAX)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return std::nullopt;
    }
    const int inLength = static_cast<int>(utf8.size());
    const int length = MultiByteToWideChar(CP_UTF8, flags, utf8.data(), inLength, nullptr, 0);
    if (length <= 0) {
        return std::nullopt;
    }
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    if (MultiByteToWideChar(CP_UTF8, flags, utf8.data(), inLength, wide.data(), length) != length) {
        return std::nullopt;
    }
    return wide;
}

} // namespace

std::optional<std::wstring> tryWiden(std::string_view utf8) {
    return convertToWide(utf8, MB_ERR_INVALID_CHARS);
}

std::wstring widen(std::string_view utf8) {
    // Without MB_ERR_INVALID_CHARS the system puts U+FFFD in place of a bad sequence.
    return convertToWide(utf8, 0).value_or(std::wstring());
}

std::string narrow(std::wstring_view utf16) {
    if (utf16.empty() || utf16.size() > static_cast<std::size_t>(INT_MAX)) {
        return std::string();
    }
    const int inLength = static_cast<int>(utf16.size());
    // CP_UTF8 allows no default character; unpaired surrogates come out as U+FFFD.
    const int length =
        WideCharToMultiByte(CP_UTF8, 0, utf16.data(), inLength, nullptr, 0, nullptr, nullptr);
    if (length <= 0) {
        return std::string();
    }
    std::string text(static_cast<std::size_t>(length), '\0');
    if (WideCharToMultiByte(CP_UTF8, 0, utf16.data(), inLength, text.data(), length, nullptr,
                            nullptr) != length) {
        return std::string();
    }
    return text;
}

std::string narrow(const wchar_t* utf16) {
    return utf16 == nullptr ? std::string() : narrow(std::wstring_view(utf16));
}

} // namespace vexo::win32
