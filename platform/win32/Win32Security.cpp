// Who may change a file or folder, read from its security descriptor, and what the process's
// token says of it: elevated or not, and its user. Only the facts: what they mean for the
// installer is decided above.
#include "platform/win32/Win32System.h"

#include "platform/win32/UniqueHandle.h"
#include "platform/win32/WideText.h"
#include "platform/win32/Win32Account.h"

#include <windows.h>

#include <aclapi.h>
#include <ntsecapi.h>
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

System::DomainSids Win32System::domainSids() {
    DomainSids sids;
    LSA_OBJECT_ATTRIBUTES attributes{};
    LSA_HANDLE policy = nullptr;
    if (LsaOpenPolicy(nullptr, &attributes, POLICY_VIEW_LOCAL_INFORMATION, &policy) != 0) {
        return sids;
    }
    void* buffer = nullptr;
    if (LsaQueryInformationPolicy(policy, PolicyDnsDomainInformation, &buffer) == 0 &&
        buffer != nullptr) {
        const auto* info = static_cast<const POLICY_DNS_DOMAIN_INFO*>(buffer);
        sids.domain = sidText(info->Sid);
        auto text = [](const LSA_UNICODE_STRING& s) {
            return std::wstring_view(s.Buffer != nullptr ? s.Buffer : L"", s.Length / sizeof(WCHAR));
        };
        const std::wstring_view name = text(info->DnsDomainName);
        const std::wstring_view forest = text(info->DnsForestName);
        // The root domain's SID is known here only when this computer's domain is the root.
        if (!name.empty() &&
            CompareStringOrdinal(name.data(), static_cast<int>(name.size()), forest.data(),
                                 static_cast<int>(forest.size()), TRUE) == CSTR_EQUAL) {
            sids.forestRoot = sids.domain;
        }
        LsaFreeMemory(buffer);
    }
    LsaClose(policy);
    return sids;
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
