// Building a text from parts in one call: cat({"Copy ", quoted(source), " to ", target}).
// One out-of-line function instead of a chain of operator+ at every message keeps the
// program small (each chain inlines its temporaries and their clean-up).
#pragma once

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vexo {

[[nodiscard]] std::string cat(std::initializer_list<std::string_view> parts);

// Whether two texts are equal when ASCII letters are compared without regard to case, as
// Windows compares model, port and driver names.
[[nodiscard]] bool equalsIgnoringAsciiCase(std::string_view a, std::string_view b);

// The texts of `items` separated by ", ": joined(ports, &PortInfo2::portName) gives
// "LPT1:, COM3:"; `text` turns an item into its text (a member, a function), by default
// the item itself.
template <class Items, class Text = std::identity>
[[nodiscard]] std::string joined(const Items& items, Text text = {}) {
    std::string out;
    for (const auto& item : items) {
        out.append(out.empty() ? "" : ", ").append(std::invoke(text, item));
    }
    return out;
}

// The path of `name` in `folder`, with one backslash between them ("C:\" and "x" give
// "C:\x", as "C:\VEXO" and "x" give "C:\VEXO\x").
[[nodiscard]] std::string inFolder(std::string_view folder, std::string_view name);

// A number as decimal text, for cat().
class Decimal {
  public:
    explicit Decimal(std::uint64_t value);
    operator std::string_view() const { return {digits_ + start_, sizeof digits_ - start_}; }

  private:
    char digits_[20];
    unsigned start_ = sizeof digits_;
};

// A decimal number of digits alone (leading zeros allowed) no greater than `max`; nullopt for
// anything else, the empty text included.
[[nodiscard]] std::optional<std::uint32_t> decimalOf(std::string_view text, std::uint32_t max);

// Texts as one line of tab-separated fields, each escaped so that no tab, line break,
// backslash, bracket or brace stands as itself, and back: nullopt for a line that is no such
// list. The change record's lines and the MSI actions' data.
[[nodiscard]] std::string joinFields(const std::vector<std::string>& fields);
[[nodiscard]] std::optional<std::vector<std::string>> splitFields(std::string_view text);

} // namespace vexo
