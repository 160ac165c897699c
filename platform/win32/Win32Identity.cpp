// Who this process is and who may change what it reads: its token's user and elevation, the
// domain the computer is joined to, and the owners and access lists of files and objects.
// Only the facts: what they mean for the installer is decided above.
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

PSID tokenUser(std::vector<std::byte>& buffer) {
    HANDLE raw = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &raw)) {
        return nullptr;
    }
    UniqueKernelHandle token(raw);
    DWORD size = 0;
    GetTokenInformation(token.get(), TokenUser, nullptr, 0, &size);
    if (size == 0) {
        return nullptr;
    }
    buffer.assign(size, std::byte{0});
    if (!GetTokenInformation(token.get(), TokenUser, buffer.data(), size, &size)) {
        return nullptr;
    }
    TOKEN_USER user{};
    std::memcpy(&user, buffer.data(), sizeof(user));
    return user.User.Sid;
}

std::string accountOf(PSID sid) {
    DWORD nameSize = 0, domainSize = 0;
    SID_NAME_USE use{};
    LookupAccountSidW(nullptr, sid, nullptr, &nameSize, nullptr, &domainSize, &use);
    if (nameSize != 0) {
        std::wstring name(nameSize, L'\0'), domain(domainSize + 1, L'\0');
        if (LookupAccountSidW(nullptr, sid, name.data(), &nameSize, domain.data(), &domainSize,
                              &use)) {
            name.resize(nameSize);
            domain.resize(domainSize);
            return domain.empty() ? narrow(name) : narrow(domain) + "\\" + narrow(name);
        }
    }
    const std::string text = sidText(sid);
    return text.empty() ? "(an unknown account)" : text;
}

std::string sidText(PSID sid) {
    LPWSTR text = nullptr;
    if (sid == nullptr || !IsValidSid(sid) || !ConvertSidToStringSidW(sid, &text)) {
        return std::string();
    }
    UniqueLocalMemory owned(text);
    return narrow(text);
}

std::string Win32System::accountName() {
    std::vector<std::byte> buffer;
    PSID sid = tokenUser(buffer);
    return sid == nullptr ? "(unknown account)" : accountOf(sid);
}

bool Win32System::runsAsLocalSystem() {
    std::vector<std::byte> buffer;
    PSID sid = tokenUser(buffer);
    return sid != nullptr && IsWellKnownSid(sid, WinLocalSystemSid);
}

OwnerFact ownerOf(HANDLE object, SE_OBJECT_TYPE type) {
    PSID owner = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetSecurityInfo(object, type, OWNER_SECURITY_INFORMATION, &owner, nullptr, nullptr, nullptr,
                        &descriptor) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    UniqueLocalMemory held(descriptor);
    return owner == nullptr ? std::string() : sidText(owner);
}

Elevation Win32System::elevation() {
    HANDLE raw = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &raw)) {
        return Elevation::Unreadable;
    }
    UniqueKernelHandle token(raw);
    TOKEN_ELEVATION elevation{};
    DWORD size = 0;
    if (!GetTokenInformation(token.get(), TokenElevation, &elevation, sizeof elevation, &size)) {
        return Elevation::Unreadable;
    }
    return elevation.TokenIsElevated != 0 ? Elevation::Elevated : Elevation::NotElevated;
}

std::string Win32System::accountSid() {
    std::vector<std::byte> buffer;
    return sidText(tokenUser(buffer));
}

DomainFacts Win32System::domain() {
    DomainFacts sids;
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
            return std::wstring_view(s.Buffer != nullptr ? s.Buffer : L"",
                                     s.Length / sizeof(WCHAR));
        };
        // The computer's account in its domain, as the domain names it: "VEXO\PC1$".
        wchar_t computer[MAX_COMPUTERNAME_LENGTH + 1] = {};
        DWORD length = MAX_COMPUTERNAME_LENGTH + 1;
        if (!sids.domain.empty() && GetComputerNameW(computer, &length)) {
            sids.computerAccount =
                narrow(text(info->Name)) + "\\" + narrow(std::wstring_view(computer, length)) + "$";
        }
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
