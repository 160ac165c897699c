#include "install/PackageTrust.h"

#include "install/ModelTables.h"
#include "platform/Text.h"

#include <vector>

namespace vexo {

std::optional<PackageExposure> findPackageExposure(System& system, const DeploymentVariant& variant,
                                                   int model) {
    const std::string package = system.currentDirectory();
    std::string driverFolder = inFolder(package, variant.sourceFolder);
    driverFolder.pop_back(); // "...\Printer Driver\x86", without its trailing backslash
    std::vector<CheckedPath> paths = {{package, true},
                                      {driverFolder.substr(0, driverFolder.rfind('\\')), true},
                                      {driverFolder, true}};
    if (model >= 0 && model < static_cast<int>(kModelCount)) {
        for (const std::string& file : driverFilesOf(static_cast<std::size_t>(model))) {
            paths.push_back({inFolder(driverFolder, file), false});
        }
    }
    return findExposure(system, paths);
}

std::optional<PackageExposure> findExposure(System& system, const std::vector<CheckedPath>& paths) {
    const TrustedAccounts trusted = trustedAccountsOf(system);
    for (const CheckedPath& c : paths) {
        ObjectSecurity security;
        const WinError e = system.readSecurity(c.path, security);
        if (e == err::FileNotFound || e == err::PathNotFound) {
            continue;
        }
        if (e != err::Success) {
            return PackageExposure{c.path, {}, e};
        }
        if (auto writer = outsideWriter(security, trusted, c.folder)) {
            return PackageExposure{c.path, std::move(*writer), err::Success};
        }
    }
    return std::nullopt;
}

std::string whoMayChange(System& system, const PackageExposure& exposure) {
    std::string what;
    if (exposure.error != err::Success) {
        what = cat({"who may write ", quoted(exposure.path),
                    " cannot be told, since its security cannot be read: ",
                    system.errorText(exposure.error), " (error ", Decimal(exposure.error), ")"});
    } else {
        const std::string& sid = exposure.writer.sid;
        std::string who = sid.empty() ? std::string() : system.accountNameOf(sid);
        if (who.empty()) {
            who = sid.empty() ? "an account that cannot be named" : cat({"the account ", sid});
        }
        what = exposure.writer.owner
                   ? cat({quoted(exposure.path), " belongs to ", who, ", who may change it"})
                   : cat({who, " may write ", quoted(exposure.path)});
    }
    return what;
}

std::string exposureText(System& system, const PackageExposure& exposure) {
    std::string what = whoMayChange(system, exposure);
    if (exposure.error == err::Success) {
        what += ", and the spooler loads the driver's files with the system's rights";
    }
    return cat({"The driver package is not safe to install: ", what,
                ". Copy the package to a folder only administrators can write, and run the "
                "installer from there"});
}

} // namespace vexo
