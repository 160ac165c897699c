// The eight models: the name of each model's driver and printer, its GPD printer
// description and its model library, in model-list order.
#pragma once

#include <array>

namespace vexo {

inline constexpr std::size_t kModelCount = 8;

inline constexpr std::array<const char*, kModelCount> modelCodes = {
    "K20A", "K20AW", "K30A", "K30AN", "K30AL", "M41", "M42", "M43"};
inline constexpr std::array<const char*, kModelCount> gpdCodes = {
    "TQ20P", "TQ20PW", "TQ30P", "TQ30P", "TQ30P", "M41", "M42", "M43"};
inline constexpr std::array<const char*, kModelCount> modelDllCodes = {
    "TQ20Ev1", "TQ20Ev1", "TQ30Ev1", "TQ30Ev1", "TQ30Ev1", "TQ3XEv1", "TQ3XEv1", "TQ3XEv1"};

} // namespace vexo
