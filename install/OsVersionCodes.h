// The two scales on which the installer ranks Windows versions, side by side. They differ
// on purpose: each is the scale of the code that reads it.
#pragma once

#include "platform/System.h"

#include <optional>

namespace vexo {

// The operating-system page's scale, kept in InstallerState::osType. Windows 8.1, 10 and
// 11 report themselves to this program as 6.2, Windows 8.
namespace os_type {
enum Code : int {
    NotDetected = 0,
    Windows95 = 1,
    Windows98 = 2, // and Me
    WindowsNt4 = 3,
    Windows2000 = 4, // and any platform other than 9x and NT
    WindowsXp = 5,
    WindowsServer2003 = 6,
    WindowsVista = 7,
    Windows7 = 8,
    Windows8 = 9,
};
} // namespace os_type
using OsTypeCode = os_type::Code;

// The NT family, from NT 4 to Windows 8: where the wizard says "Completed!".
constexpr bool isNtFamily(OsTypeCode code) {
    return code >= os_type::WindowsNt4 && code <= os_type::Windows8;
}

// The OsTypeCode of a version, or nullopt for a version the table does not list (which
// leaves the code as it was).
std::optional<OsTypeCode> classifyOsVersion(const OsVersion& version);

// The USB port retry's scale. Only Windows 7 changes what the retry does: nothing is read
// back there.
namespace os_release {
enum Code : int {
    Unknown = -1, // an unlisted version, or a failed query
    Windows95 = 1,
    Windows98 = 2,
    WindowsMe = 3,
    WindowsNt4 = 4,  // and earlier NT
    Windows2000 = 5, // and any platform other than 9x and NT
    WindowsXp = 6,
    WindowsServer2003 = 7,
    WindowsVista = 8,
    Windows7 = 9,
    Windows8 = 10,
    Windows81 = 11,
    Windows10 = 12,
};
} // namespace os_release
using OsReleaseCode = os_release::Code;

OsReleaseCode osReleaseCode(const OsVersion& version);
// The running Windows release on that scale; Unknown also for a failed query.
OsReleaseCode queryOsReleaseCode(System& system);

} // namespace vexo
