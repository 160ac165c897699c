// Whether anyone but the administrators can change the driver package. An elevated run
// copies the package's DLLs into the spooler's driver directory, and the spooler loads them
// as SYSTEM: a package folder that a standard user can write would let that user swap a DLL
// before a deployment tool runs the installer, and so run code of their own with the
// machine's highest rights.
#pragma once

#include "install/DriverDeployment.h"
#include "install/TrustRules.h"
#include "platform/Security.h"
#include "platform/System.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vexo {

// A file or folder of the package that someone beside the administrators may change, or whose
// security cannot be read.
struct PackageExposure {
    std::string path;
    OutsideWriter writer;          // who may change it, when `error` is Success
    WinError error = err::Success; // why its security could not be read
};

// A file or a folder to check.
struct CheckedPath {
    std::string path;
    bool folder = false;
};
// The first of `paths` that someone beside the administrators may change, or whose security
// cannot be read; nullopt when there is none. A path that is not there is passed over.
[[nodiscard]] std::optional<PackageExposure> findExposure(System& system,
                                                          const std::vector<CheckedPath>& paths);
// Who may change the exposed file or folder, or why that cannot be told, in words.
[[nodiscard]] std::string whoMayChange(System& system, const PackageExposure& exposure);

// Checks, in this order, the package folder (the current directory), its "Printer Driver"
// folder, the variant's folder in it and the model's driver files there; the first that
// someone beside the administrators may change, nullopt when there is none. A file or folder
// that is not there is passed over: the installation reports it as missing.
[[nodiscard]] std::optional<PackageExposure>
findPackageExposure(System& system, const DeploymentVariant& variant, int model);

// Why an exposed package is refused and what to do, in words for an administrator.
[[nodiscard]] std::string exposureText(System& system, const PackageExposure& exposure);

} // namespace vexo
