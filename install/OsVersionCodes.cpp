#include "install/OsVersionCodes.h"

namespace vexo {

std::optional<OsTypeCode> classifyOsVersion(const OsVersion& v) {
    using namespace os_type;
    if (v.platformId == PlatformWindows) {
        if (v.majorVersion == 4 && v.minorVersion == 0) {
            return Windows95;
        }
        if (v.majorVersion == 4 && (v.minorVersion == 10 || v.minorVersion == 90)) {
            return Windows98;
        }
        return std::nullopt;
    }
    if (v.platformId == PlatformNt) {
        if (v.majorVersion <= 4) {
            return WindowsNt4;
        }
        if (v.majorVersion == 5 && v.minorVersion <= 2) {
            return static_cast<OsTypeCode>(Windows2000 + v.minorVersion);
        }
        if (v.majorVersion == 6 && v.minorVersion <= 2) {
            return static_cast<OsTypeCode>(WindowsVista + v.minorVersion);
        }
        return std::nullopt;
    }
    return Windows2000; // any other platform identifier
}

OsReleaseCode osReleaseCode(const OsVersion& v) {
    using namespace os_release;
    if (v.platformId == PlatformWindows) {
        if (v.majorVersion != 4) {
            return Unknown;
        }
        return v.minorVersion == 0    ? Windows95
               : v.minorVersion == 10 ? Windows98
               : v.minorVersion == 90 ? WindowsMe
                                      : Unknown;
    }
    if (v.platformId == PlatformNt) {
        if (v.majorVersion <= 4) {
            return WindowsNt4;
        }
        if (v.majorVersion == 5) {
            return v.minorVersion <= 2 ? static_cast<OsReleaseCode>(Windows2000 + v.minorVersion)
                                       : Unknown;
        }
        if (v.majorVersion == 6) {
            return v.minorVersion <= 3 ? static_cast<OsReleaseCode>(WindowsVista + v.minorVersion)
                                       : Unknown;
        }
        return v.majorVersion == 10 ? Windows10 : Unknown;
    }
    return Windows2000;
}

OsReleaseCode queryOsReleaseCode(System& system) {
    OsVersion v;
    if (!system.getVersion(kOsVersionInfoExSize, v) && !system.getVersion(kOsVersionInfoSize, v)) {
        return os_release::Unknown;
    }
    return osReleaseCode(v);
}

} // namespace vexo
