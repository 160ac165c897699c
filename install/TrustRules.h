// Whom the installer trusts with what it reads and writes, and what it refuses: the rules,
// as functions of what the system reports (owners, access lists, what a path leads to, what
// a mutex's name already bore, the token's elevation). The system decides nothing.
#pragma once

#include "platform/Files.h"
#include "platform/Identity.h"
#include "platform/Lock.h"
#include "platform/Security.h"

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace vexo {

class System;

// The accounts an installation trusts with what it reads and writes: the built-in
// Administrators, SYSTEM and TrustedInstaller, the account the program runs as, and, on a
// domain member, the joined domain's Domain Admins (its SID with RID 512) and the forest
// root's Enterprise Admins (RID 519), which are administrators of every member by design.
// Whole SIDs are compared: another domain's 512 is nobody special.
struct TrustedAccounts {
    std::string account;          // the running account's SID
    std::string domainAdmins;     // empty outside a domain
    std::string enterpriseAdmins; // empty outside a domain, or where the root is not known
    // A file that LocalSystem makes on a share belongs to the computer's own account there,
    // as does one that any LocalSystem or NetworkService process of this computer made: this
    // run's log on a share may have it for its owner. Its domain's SID and its name
    // ("VEXO\PC1$"); empty unless the run is LocalSystem on a domain member.
    std::string domain;
    std::string computerAccount;
    [[nodiscard]] bool trust(std::string_view sid) const;
};
[[nodiscard]] TrustedAccounts trustedAccountsOf(System& system);

// An unreadable token is taken for an elevated one: the checks of an elevated run are made.
[[nodiscard]] constexpr bool checkedAsElevated(Elevation elevation) {
    return elevation != Elevation::NotElevated;
}

// The name of the account a SID names ("DOMAIN\user"); empty when it names none.
using AccountNameOf = std::function<std::string(const std::string& sid)>;

// Why an object with this owner may be another user's: "its owner is DOMAIN\user", "it has
// no owner", "its owner cannot be read"; empty when its owner is trusted. `onShare`: a file
// on a share, where the computer's account may own it.
[[nodiscard]] std::string foreignOwner(const OwnerFact& owner, const TrustedAccounts& trusted,
                                       const AccountNameOf& nameOf, bool onShare = false);

// Someone beside the administrators who may change a file or folder.
struct OutsideWriter {
    std::string sid;    // empty when their SID could not be read
    bool owner = false; // its owner, who may always change its access list
};
// Who may change a file or folder with this owner and access list, beside the trusted
// accounts: its owner when that is someone else, else the first allowing entry that applies
// to the file or folder itself (inherit-only entries only pass on to what is created inside)
// with a right to write, append, delete, or change the access list or the owner; for a folder
// also to delete what it holds. Denying entries grant nothing; no access list at all lets
// Everyone do everything. nullopt when only the trusted may change it.
[[nodiscard]] std::optional<OutsideWriter>
outsideWriter(const ObjectSecurity& security, const TrustedAccounts& trusted, bool folder);

// Where a log file goes: its folder ("C:\", "\\server\share\logs") and its name.
struct LogPlace {
    std::string folder;
    std::string name;
    bool onShare = false;
};
// The folder and name of the absolute path `full`; nullopt when it is not a file in a folder
// of a disk or a share (a device, a stream), with `refusal` saying so.
[[nodiscard]] std::optional<LogPlace> logPlaceOf(const std::string& full, std::string& refusal);
// Why a log's folder must not be written into: opening `asked` reached `reached` (empty when
// it cannot be named), through a link, junction or mount point. Empty when it is the folder
// asked for.
[[nodiscard]] std::string folderRefusal(const std::string& asked, const std::string& reached);
// Why an opened log file must not be written: not a plain file of its own (a folder, a
// device, a link, a file with other hard links), or, when the run is elevated, one that
// another user could have made and handed to it. Empty when it may be written.
[[nodiscard]] std::string logFileRefusal(const OpenedFileFacts& facts, bool elevated,
                                         const TrustedAccounts& trusted,
                                         const AccountNameOf& nameOf, bool onShare);

// Why an installation mutex found under the lock's name is not honoured: an object another
// user could have made first (another kind of object, one that shuts this process out, one
// owned by an untrusted account). Empty when it is honoured; a mutex in the private
// namespace always is, only administrators can have made it.
[[nodiscard]] std::string mutexRefusal(const MutexFacts& facts, const TrustedAccounts& trusted,
                                       const AccountNameOf& nameOf);

} // namespace vexo
