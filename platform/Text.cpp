#include "platform/Text.h"

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

} // namespace vexo
