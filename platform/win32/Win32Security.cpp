// Who may change a file or folder, read from its security descriptor, and what the process's
// token says of it: elevated or not, and its user. Only the facts: what they mean for the
// installer is decided above.
#include "platform/win32/Win32System.h"

#include "platform/win32/UniqueHandle.h"
#include "platform/win32/WideText.h"
#include "platform/win32/Win32Account.h"

#include <windows.h>

#include <aclapi.h>
#include <sddl.h>

#include <cstddef>
#include <cstring>
#include <vector>

namespace vexo::win32 {

namespace {

bool isObjectEntry(BYTE type) {
    return type == ACCESS_ALLOWED_OBJECT_ACE_TYPE || type == ACCESS_DENIED_OBJECT_ACE_TYPE ||
           type == ACCESS_ALLOWED_CALLBACK_OBJECT_ACE_TYPE ||
           type == ACCESS_DENIED_CALLBACK_OBJECT_ACE_TYPE;
}

// One access list entry read from its bytes: the header and the mask, then the SID, which
// an object entry puts after its own flags and the GUIDs those announce. The SID is left
// empty when it would not lie wholly inside the entry (or the entry has another layout).
AccessEntry entryOf(const BYTE* bytes) {
    ACE_HEADER header{};
    std::memcpy(&header, bytes, sizeof(header));
    AccessEntry entry;
    entry.type = header.AceType;
    entry.flags = header.AceFlags;
    std::size_t at = sizeof(ACE_HEADER);
    if (header.AceSize < at + sizeof(DWORD)) {
        return entry;
    }
    std::memcpy(&entry.mask, bytes + at, sizeof(DWORD));
    at += sizeof(DWORD);
    if (header.AceType == ACCESS_ALLOWED_COMPOUND_ACE_TYPE) {
        return entry;
    }
    if (isObjectEntry(header.AceType)) {
        DWORD objectFlags = 0;
        if (header.AceSize < at + sizeof(DWORD)) {
            return entry;
        }
        std::memcpy(&objectFlags, bytes + at, sizeof(DWORD));
        at += sizeof(DWORD);
        at += (objectFlags & ACE_OBJECT_TYPE_PRESENT) != 0 ? sizeof(GUID) : 0;
        at += (objectFlags & ACE_INHERITED_OBJECT_TYPE_PRESENT) != 0 ? sizeof(GUID) : 0;
    }
    // A SID: revision, sub-authority count, six bytes of authority, four per sub-authority.
    if (header.AceSize < at + 8 || header.AceSize < at + 8 + 4 * std::size_t{bytes[at + 1]}) {
        return entry;
    }
    entry.sid = sidText(const_cast<BYTE*>(bytes + at));
    return entry;
}

} // namespace

bool Win32System::runsElevated() {
    return tokenElevated();
}

std::string Win32System::accountSid() {
    std::vector<std::byte> buffer;
    return sidText(tokenUser(buffer));
}

WinError Win32System::readSecurity(const std::string& path, ObjectSecurity& security) {
    auto wide = tryWiden(path);
    if (!wide) {
        return ERROR_NO_UNICODE_TRANSLATION;
    }
    PSID owner = nullptr;
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    const DWORD e = GetNamedSecurityInfoW(longPathForm(*wide).c_str(), SE_FILE_OBJECT,
                                          OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                                          &owner, nullptr, &dacl, nullptr, &descriptor);
    if (e != ERROR_SUCCESS) {
        return e;
    }
    UniqueLocalMemory owned(descriptor);
    ObjectSecurity read;
    read.owner = sidText(owner);
    read.dacl = dacl != nullptr; // none, or a NULL DACL: everyone may do everything
    for (DWORD i = 0; dacl != nullptr && i < dacl->AceCount; ++i) {
        void* entry = nullptr;
        if (!GetAce(dacl, i, &entry)) {
            const DWORD why = GetLastError();
            return why != 0 ? why : ERROR_INVALID_ACL;
        }
        read.entries.push_back(entryOf(static_cast<const BYTE*>(entry)));
    }
    security = std::move(read);
    return err::Success;
}

std::string Win32System::accountNameOf(const std::string& sid) {
    auto wide = tryWiden(sid);
    PSID raw = nullptr;
    if (!wide || !ConvertStringSidToSidW(wide->c_str(), &raw)) {
        return std::string();
    }
    UniqueLocalMemory owned(raw);
    const std::string name = accountOf(raw);
    return name == sid ? std::string() : name; // a SID that names no account
}

} // namespace vexo::win32
