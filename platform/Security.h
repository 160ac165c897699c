// Who may change a file or folder, as Windows records it: the owner and the access list of its
// security descriptor, each SID as text ("S-1-1-0"). The system reads them; what they mean
// for the installer is decided above.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vexo {

// One entry of an access list, as stored.
struct AccessEntry {
    std::uint8_t type = 0;  // ace::Allowed, ace::Denied, ...
    std::uint8_t flags = 0; // inheritance: ace::InheritOnly, ...
    std::uint32_t mask = 0; // the rights it allows or denies
    std::string sid;        // empty when the entry holds none that can be read
};

// Who owns a file or a kernel object, as read: its owner's SID ("S-1-5-18"), empty when it
// has none; nullopt when it cannot be read.
using OwnerFact = std::optional<std::string>;

// The owner and the access list (DACL) of a file or folder.
struct ObjectSecurity {
    std::string owner; // the owner's SID, empty when it has none
    bool dacl = true;  // false: no access list at all, which lets everyone do everything
    std::vector<AccessEntry> entries;
};

namespace ace {
inline constexpr std::uint8_t Allowed = 0x0;
inline constexpr std::uint8_t Denied = 0x1;
inline constexpr std::uint8_t AllowedObject = 0x5;
inline constexpr std::uint8_t DeniedObject = 0x6;
inline constexpr std::uint8_t AllowedCallback = 0x9;
inline constexpr std::uint8_t DeniedCallback = 0xA;
inline constexpr std::uint8_t AllowedCallbackObject = 0xB;

inline constexpr std::uint8_t ObjectInherit = 0x1;
inline constexpr std::uint8_t ContainerInherit = 0x2;
inline constexpr std::uint8_t InheritOnly = 0x8; // applies only to what is created inside
inline constexpr std::uint8_t Inherited = 0x10;
} // namespace ace

namespace rights {
inline constexpr std::uint32_t WriteData = 0x2;    // a folder: add a file
inline constexpr std::uint32_t AppendData = 0x4;   // a folder: add a subfolder
inline constexpr std::uint32_t DeleteChild = 0x40; // a folder: delete what it holds
inline constexpr std::uint32_t Delete = 0x10000;
inline constexpr std::uint32_t WriteDac = 0x40000;
inline constexpr std::uint32_t WriteOwner = 0x80000;
inline constexpr std::uint32_t GenericAll = 0x10000000;
inline constexpr std::uint32_t GenericWrite = 0x40000000;
inline constexpr std::uint32_t FileAllAccess = 0x1F01FF;
inline constexpr std::uint32_t FileReadAndExecute = 0x1200A9; // FILE_GENERIC_READ | _EXECUTE
inline constexpr std::uint32_t FileModify = 0x1301BF;         // "Modify" in Explorer
} // namespace rights

// Well-known SIDs.
namespace sids {
inline constexpr const char* Everyone = "S-1-1-0";
inline constexpr const char* CreatorOwner = "S-1-3-0";
inline constexpr const char* Interactive = "S-1-5-4";
inline constexpr const char* AuthenticatedUsers = "S-1-5-11";
inline constexpr const char* LocalSystem = "S-1-5-18";
inline constexpr const char* Administrators = "S-1-5-32-544";
inline constexpr const char* Users = "S-1-5-32-545";
inline constexpr const char* TrustedInstaller =
    "S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464";
} // namespace sids

} // namespace vexo
