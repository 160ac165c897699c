#include "install/OsVersionCodes.h"

namespace vexo {

std::optional<OsTypeCode> classifyOsVersion(const OsVersion& v) {
    if (v.platformId == PlatformWindows) {
        if (v.majorVersion == 4 && v.minorVersion == 0) {
            return 1;
        }
        if (v.majorVersion == 4 && (v.minorVersion == 10 || v.minorVersion == 90)) {
            return 2;
        }
        return std::nullopt;
    }
    if (v.platformId == PlatformNt) {
        if (v.majorVersion <= 4) {
            return 3;
        }
        if (v.majorVersion == 5 && v.minorVersion <= 2) {
            return static_cast<OsTypeCode>(4 + v.minorVersion);
        }
        if (v.majorVersion == 6 && v.minorVersion <= 2) {
            return static_cast<OsTypeCode>(7 + v.minorVersion);
        }
        return std::nullopt;
    }
    return 4; // any other platform identifier
}

OsReleaseCode osReleaseCode(const OsVersion& v) {
    if (v.platformId == PlatformWindows) {
        if (v.majorVersion != 4) {
            return -1;
        }
        return v.minorVersion == 0 ? 1 : v.minorVersion == 10 ? 2 : v.minorVersion == 90 ? 3 : -1;
    }
    if (v.platformId == PlatformNt) {
        if (v.majorVersion <= 4) {
            return 4;
        }
        if (v.majorVersion == 5) {
            return v.minorVersion <= 2 ? static_cast<int>(5 + v.minorVersion) : -1;
        }
        if (v.majorVersion == 6) {
            return v.minorVersion <= 3 ? static_cast<int>(8 + v.minorVersion) : -1;
        }
        return v.majorVersion == 10 ? 12 : -1;
    }
    return 5;
}

OsReleaseCode queryOsReleaseCode(System& system) {
    OsVersion v;
    if (!system.getVersion(kOsVersionInfoExSize, v) && !system.getVersion(kOsVersionInfoSize, v)) {
        return -1;
    }
    return osReleaseCode(v);
}

} // namespace vexo
