// The two scales on which the installer ranks Windows versions, side by side. They differ
// on purpose: each is the scale of the code that reads it.
#pragma once

#include "platform/System.h"

#include <optional>

namespace vexo {

// The operating-system page's scale, kept in InstallerState::osType: 0 not detected; 1 and
// 2 the Windows 9x platform; 3 to 9 the NT family up to version 6.2 (which Windows 8.1, 10
// and 11 report to this program). "Completed!" shows for 3 to 9.
using OsTypeCode = int;

// The OsTypeCode of a version, or nullopt for a version the table does not list (which
// leaves the code as it was).
std::optional<OsTypeCode> classifyOsVersion(const OsVersion& version);

// The USB port retry's scale: 1 to 3 Windows 95, 98, Me; 4 NT 4 and earlier; 5 to 7 NT 5.0
// to 5.2; 8 to 11 NT 6.0 to 6.3 (9 is Windows 7, where nothing is read back); 12 Windows
// 10; 5 any other platform; -1 an unlisted version.
using OsReleaseCode = int;

OsReleaseCode osReleaseCode(const OsVersion& version);
// The running Windows release on that scale; -1 also for a failed query.
OsReleaseCode queryOsReleaseCode(System& system);

} // namespace vexo
