// What the Win32 system services share: the last error, the handles they give out, and the
// account this process runs as, against which the owners of what it finds are judged.
#pragma once

#include "platform/Win32Constants.h"

#include <windows.h>

#include <accctrl.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace vexo::win32 {

inline std::uintptr_t toOwned(HANDLE handle) {
    return reinterpret_cast<std::uintptr_t>(handle);
}
inline HANDLE fromOwned(std::uintptr_t handle) {
    return reinterpret_cast<HANDLE>(handle);
}

// The user of the process's token, as a SID in `buffer`; null when it cannot be read.
[[nodiscard]] PSID tokenUser(std::vector<std::byte>& buffer);
// Whether the process's token is elevated (an administrator's full token, or LocalSystem);
// true when the token cannot be read, so that an elevated run's checks are made then.
[[nodiscard]] bool tokenElevated();
// Whether `sid` is the Administrators group, SYSTEM or the account this process runs as:
// the owners an object may have that no other user could have made.
[[nodiscard]] bool isTrustedOwner(PSID sid);
// Why the owner of `object` (a file, a kernel object) is not one that no other user could
// have made: "its owner is DOMAIN\user", "it has no owner", "its owner cannot be read";
// empty when it is Administrators, SYSTEM or this account.
[[nodiscard]] std::string untrustedOwner(HANDLE object, SE_OBJECT_TYPE type);
// "DOMAIN\user" for a SID, or the SID as text ("S-1-5-21-...") when it names no account.
[[nodiscard]] std::string accountOf(PSID sid);
// A SID as text ("S-1-5-32-544"); empty when there is none or it is not valid.
[[nodiscard]] std::string sidText(PSID sid);

} // namespace vexo::win32
