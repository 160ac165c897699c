// The eight models: the name of each model's driver and printer, its GPD printer
// description and its model library, in model-list order.
#pragma once

#include <array>
#include <string>

namespace vexo {

inline constexpr std::size_t kModelCount = 8;

inline constexpr std::array<const char*, kModelCount> modelCodes = {
    "K20A", "K20AW", "K30A", "K30AN", "K30AL", "M41", "M42", "M43"};
inline constexpr std::array<const char*, kModelCount> gpdCodes = {
    "TQ20P", "TQ20PW", "TQ30P", "TQ30P", "TQ30P", "M41", "M42", "M43"};
inline constexpr std::array<const char*, kModelCount> modelDllCodes = {
    "TQ20Ev1", "TQ20Ev1", "TQ30Ev1", "TQ30Ev1", "TQ30Ev1", "TQ3XEv1", "TQ3XEv1", "TQ3XEv1"};

// The model's driver files in the package folder "Printer Driver\x86\" or "\x64\", in the
// order they are copied: the model library, the GPD file, then the universal driver's files.
inline std::array<std::string, 8> driverFilesOf(std::size_t model) {
    return {std::string(modelDllCodes[model]) + ".DLL",
            std::string(gpdCodes[model]) + ".GPD",
            "uniDRVui.DLL",
            "uniDRV.DLL",
            "UNIDRV.HLP",
            "UNIRES.DLL",
            "TTFSUB.GPD",
            "STDNAMES.GPD"};
}

} // namespace vexo
