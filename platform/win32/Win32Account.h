// What the Win32 system services share: the handles they give out, the account this process
// runs as, and the owners of what it finds.
#pragma once

#include "platform/Security.h"
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
// The owner of `object` (a file, a kernel object), as a SID; empty when it has none,
// nullopt when it cannot be read.
[[nodiscard]] OwnerFact ownerOf(HANDLE object, SE_OBJECT_TYPE type);
// "DOMAIN\user" for a SID, or the SID as text ("S-1-5-21-...") when it names no account.
[[nodiscard]] std::string accountOf(PSID sid);
// A SID as text ("S-1-5-32-544"); empty when there is none or it is not valid.
[[nodiscard]] std::string sidText(PSID sid);

} // namespace vexo::win32
