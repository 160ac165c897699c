// Building a text from parts in one call: cat({"Copy ", quoted(source), " to ", target}).
// One out-of-line function instead of a chain of operator+ at every message keeps the
// program small (each chain inlines its temporaries and their clean-up).
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

namespace vexo {

[[nodiscard]] std::string cat(std::initializer_list<std::string_view> parts);

// Whether two texts are equal when ASCII letters are compared without regard to case, as
// Windows compares model, port and driver names.
[[nodiscard]] bool equalsIgnoringAsciiCase(std::string_view a, std::string_view b);

// A number as decimal text, for cat().
class Decimal {
  public:
    explicit Decimal(std::uint64_t value);
    operator std::string_view() const { return {digits_ + start_, sizeof digits_ - start_}; }

  private:
    char digits_[20];
    unsigned start_ = sizeof digits_;
};

} // namespace vexo
