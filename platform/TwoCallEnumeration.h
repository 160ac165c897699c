// The spooler's two-call enumeration, once: the first call passes no buffer and size 0 and
// learns the byte count, the second passes a buffer of that size. When the records grew in
// between (a port added meanwhile), the second call reports ERROR_INSUFFICIENT_BUFFER with
// the new count and the call is repeated with a bigger buffer, a bounded number of times.
#pragma once

#include "platform/Win32Constants.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace vexo {

inline constexpr int kMaxEnumerationRounds = 8;

// `call(data, size, &needed, &returned)` makes the enumeration and returns err::Success
// or the call's error. On success `buffer` holds the records and `returned` their count.
template <class Call>
WinError enumerateTwoCalls(Call call, std::vector<std::byte>& buffer, std::uint32_t& returned) {
    std::uint32_t needed = 0;
    returned = 0;
    buffer.clear();
    WinError error = call(nullptr, 0, &needed, &returned);
    if (error == err::Success) {
        returned = 0; // nothing to list
        return err::Success;
    }
    for (int round = 0; round < kMaxEnumerationRounds; ++round) {
        if (error != err::InsufficientBuffer) {
            returned = 0;
            return error;
        }
        buffer.assign(std::max<std::size_t>(needed, buffer.size() * 2 + 1), std::byte{0});
        returned = 0;
        error = call(buffer.data(), static_cast<std::uint32_t>(buffer.size()), &needed, &returned);
        if (error == err::Success) {
            return err::Success;
        }
    }
    returned = 0;
    return err::InsufficientBuffer;
}

} // namespace vexo
