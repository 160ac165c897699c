// Who may change a file or folder, read from its security descriptor, and what the process's
// token says of it: elevated or not, and its user. Only the facts: what they mean for the
// installer is decided above.
#include "platform/win32/Win32System.h"

#include "platform/win32/UniqueHandle.h"
#include "platform/win32/WideText.h"

#include <windows.h>

#include <aclapi.h>
#include <sddl.h>

#include <cstddef>
#include <cstring>
#include <vector>

namespace vexo::win32 {

namespace {

// A SID as text ("S-1-5-32-544"); empty when there is none or it is not valid.
std::string sidText(PSID sid) {
    LPWSTR text = nullptr;
    if (sid == nullptr || !IsValidSid(sid) || !ConvertSidToStringSidW(sid, &text)) {
        return std::string();
    }
    UniqueLocalMemory owned(text);
    return narrow(text);
}

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
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) {
        return true;
    }
    TOKEN_ELEVATION elevation{};
    DWORD size = 0;
    const BOOL read =
        GetTokenInformation(token, TokenElevation, &elevation, sizeof(elevation), &size);
    CloseHandle(token);
    return !read || elevation.TokenIsElevated != 0;
}

std::string Win32System::accountSid() {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) {
        return std::string();
    }
    DWORD size = 0;
    GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    std::vector<std::byte> buffer(size);
    const bool read = size >= sizeof(TOKEN_USER) &&
                      GetTokenInformation(token, TokenUser, buffer.data(), size, &size);
    CloseHandle(token);
    if (!read) {
        return std::string();
    }
    TOKEN_USER user{};
    std::memcpy(&user, buffer.data(), sizeof(user));
    return sidText(user.User.Sid);
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
    DWORD nameSize = 0, domainSize = 0;
    SID_NAME_USE use{};
    LookupAccountSidW(nullptr, raw, nullptr, &nameSize, nullptr, &domainSize, &use);
    if (nameSize == 0) {
        return std::string();
    }
    std::wstring name(nameSize, L'\0'), domain(domainSize + 1, L'\0');
    if (!LookupAccountSidW(nullptr, raw, name.data(), &nameSize, domain.data(), &domainSize,
                           &use)) {
        return std::string();
    }
    name.resize(nameSize);
    domain.resize(domainSize);
    return domain.empty() ? narrow(name) : narrow(domain) + "\\" + narrow(name);
}

} // namespace vexo::win32
