// Whether anyone but the administrators can change the driver package. An elevated run
// copies the package's DLLs into the spooler's driver directory, and the spooler loads them
// as SYSTEM: a package folder that a standard user can write would let that user swap a DLL
// before a deployment tool runs the installer, and so run code of their own with the
// machine's highest rights.
#pragma once

#include "install/DriverDeployment.h"
#include "platform/Security.h"
#include "platform/System.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vexo {

// Someone beside the administrators who may change a file or folder.
struct OutsideWriter {
    std::string sid;    // empty when their SID could not be read
    bool owner = false; // its owner, who may always change its access list
};

// The accounts an installation trusts with what it reads and writes: the built-in
// Administrators, SYSTEM and TrustedInstaller, the account the program runs as, and, on a
// domain member, the joined domain's Domain Admins (its SID with RID 512) and the forest
// root's Enterprise Admins (RID 519), which are administrators of every member by design.
// Whole SIDs are compared: another domain's 512 is nobody special.
struct TrustedAccounts {
    std::string account;          // the running account's SID
    std::string domainAdmins;     // empty outside a domain
    std::string enterpriseAdmins; // empty outside a domain, or where the root is not known
    [[nodiscard]] bool trust(std::string_view sid) const;
};
[[nodiscard]] TrustedAccounts trustedAccountsOf(System& system);

// Who may change a file or folder with this owner and access list, beside the trusted
// accounts: its owner when that is someone else, else the first allowing entry that applies
// to the file or folder itself (inherit-only entries only pass on to what is created inside)
// with a right to write, append, delete, or change the access list or the owner; for a folder
// also to delete what it holds. Denying entries grant nothing; no access list at all lets
// Everyone do everything. nullopt when only the trusted may change it.
[[nodiscard]] std::optional<OutsideWriter>
outsideWriter(const ObjectSecurity& security, const TrustedAccounts& trusted, bool folder);

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
