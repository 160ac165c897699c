#include "platform/Text.h"

#include <algorithm>
#include <iterator>

namespace vexo {

std::string cat(std::initializer_list<std::string_view> parts) {
    std::size_t size = 0;
    for (std::string_view p : parts) {
        size += p.size();
    }
    std::string out;
    out.reserve(size);
    for (std::string_view p : parts) {
        out.append(p);
    }
    return out;
}

std::string inFolder(std::string_view folder, std::string_view name) {
    return folder.empty() || folder.back() == '\\' ? cat({folder, name})
                                                   : cat({folder, "\\", name});
}

bool equalsIgnoringAsciiCase(std::string_view a, std::string_view b) {
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (lower(a[i]) != lower(b[i])) {
            return false;
        }
    }
    return true;
}

Decimal::Decimal(std::uint64_t value) {
    do {
        digits_[--start_] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value != 0);
}

std::optional<std::uint32_t> decimalOf(std::string_view text, std::uint32_t max) {
    if (text.empty()) {
        return std::nullopt;
    }
    std::uint32_t value = 0;
    for (const char c : text) {
        const auto digit = static_cast<std::uint32_t>(c - '0');
        if (c < '0' || c > '9' || value > (max - digit) / 10) {
            return std::nullopt;
        }
        value = value * 10 + digit;
    }
    return value;
}

namespace {

// The escapes of a field: a separator, a line break or a backslash never stands as itself, nor
// a bracket or a brace (which Windows Installer's formatting would read).
constexpr std::pair<char, char> kEscapes[] = {{'\\', '\\'}, {'\t', 't'}, {'\n', 'n'}, {'\r', 'r'},
                                              {'[', '('},   {']', ')'},  {'{', '<'},  {'}', '>'}};

} // namespace

std::string joinFields(const std::vector<std::string>& fields) {
    std::string text;
    for (const std::string& field : fields) {
        if (&field != &fields.front()) {
            text += '\t';
        }
        for (char c : field) {
            const auto* escape = std::find_if(std::begin(kEscapes), std::end(kEscapes),
                                              [c](const auto& e) { return e.first == c; });
            if (escape != std::end(kEscapes)) {
                text += {'\\', escape->second};
            } else {
                text += c;
            }
        }
    }
    return text;
}

std::optional<std::vector<std::string>> splitFields(std::string_view text) {
    std::vector<std::string> fields(1);
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\t') {
            fields.emplace_back();
        } else if (text[i] != '\\') {
            fields.back() += text[i];
        } else if (++i == text.size()) {
            return std::nullopt;
        } else {
            const auto* escape = std::find_if(std::begin(kEscapes), std::end(kEscapes),
                                              [&](const auto& e) { return e.second == text[i]; });
            if (escape == std::end(kEscapes)) {
                return std::nullopt;
            }
            fields.back() += escape->first;
        }
    }
    return fields;
}

} // namespace vexo
