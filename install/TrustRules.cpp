#include "install/TrustRules.h"

#include "install/InstallReport.h"
#include "platform/System.h"
#include "platform/Text.h"

#include <algorithm>

namespace vexo {

namespace {

bool allows(std::uint8_t type) {
    return type == ace::Allowed || type == ace::AllowedObject || type == ace::AllowedCallback ||
           type == ace::AllowedCallbackObject;
}

// Whether `sid` is an account of the domain `domain` ("S-1-5-21-a-b-c" and one more part).
bool inDomain(std::string_view sid, std::string_view domain) {
    if (domain.empty() || sid.size() <= domain.size() + 1 ||
        !equalsIgnoringAsciiCase(sid.substr(0, domain.size()), domain) ||
        sid[domain.size()] != '-') {
        return false;
    }
    const std::string_view rid = sid.substr(domain.size() + 1);
    return std::all_of(rid.begin(), rid.end(), [](char c) { return c >= '0' && c <= '9'; });
}

} // namespace

bool TrustedAccounts::trust(std::string_view sid) const {
    for (std::string_view t :
         {std::string_view(sids::Administrators), std::string_view(sids::LocalSystem),
          std::string_view(sids::TrustedInstaller), std::string_view(account),
          std::string_view(domainAdmins), std::string_view(enterpriseAdmins)}) {
        if (!t.empty() && equalsIgnoringAsciiCase(sid, t)) {
            return true;
        }
    }
    return false;
}

TrustedAccounts trustedAccountsOf(System& system) {
    TrustedAccounts trusted{system.accountSid(), "", "", "", ""};
    const DomainFacts domain = system.domain();
    if (!domain.domain.empty()) {
        trusted.domainAdmins = domain.domain + "-512";
        if (system.runsAsLocalSystem() && !domain.computerAccount.empty()) {
            trusted.domain = domain.domain;
            trusted.computerAccount = domain.computerAccount;
        }
    }
    if (!domain.forestRoot.empty()) {
        trusted.enterpriseAdmins = domain.forestRoot + "-519";
    }
    return trusted;
}

std::string foreignOwner(const OwnerFact& owner, const TrustedAccounts& trusted,
                         const AccountNameOf& nameOf, bool onShare) {
    if (!owner) {
        return "its owner cannot be read";
    }
    if (owner->empty()) {
        return "it has no owner";
    }
    if (trusted.trust(*owner)) {
        return "";
    }
    // Asked only now, and only of an owner that is not trusted by its SID, so that no run
    // waits on a domain controller to start.
    const std::string name = nameOf(*owner);
    if (onShare && inDomain(*owner, trusted.domain) && !trusted.computerAccount.empty() &&
        equalsIgnoringAsciiCase(name, trusted.computerAccount)) {
        return "";
    }
    return "its owner is " + (name.empty() ? *owner : name);
}

std::optional<OutsideWriter> outsideWriter(const ObjectSecurity& security,
                                           const TrustedAccounts& trusted, bool folder) {
    if (!trusted.trust(security.owner)) {
        return OutsideWriter{security.owner, true};
    }
    if (!security.dacl) {
        return OutsideWriter{sids::Everyone, false};
    }
    const std::uint32_t changes = rights::WriteData | rights::AppendData | rights::Delete |
                                  rights::WriteDac | rights::WriteOwner | rights::GenericWrite |
                                  rights::GenericAll | (folder ? rights::DeleteChild : 0);
    for (const AccessEntry& e : security.entries) {
        if (allows(e.type) && (e.flags & ace::InheritOnly) == 0 && (e.mask & changes) != 0 &&
            !trusted.trust(e.sid)) {
            return OutsideWriter{e.sid, false};
        }
    }
    return std::nullopt;
}

std::optional<LogPlace> logPlaceOf(const std::string& full, std::string& refusal) {
    const std::size_t slash = full.find_last_of('\\');
    LogPlace place;
    if (slash != std::string::npos) {
        place = {full.substr(0, slash), full.substr(slash + 1)};
    }
    if (place.folder.ends_with(':')) {
        place.folder += '\\'; // a drive's root, "C:\" or "\\?\C:\"
    }
    // A drive ("C:\") or a share ("\\server\share\"), nothing in the device namespace.
    std::string_view plain = place.folder;
    const bool longShare = plain.starts_with("\\\\?\\UNC\\");
    if (!longShare && plain.starts_with("\\\\?\\")) {
        plain.remove_prefix(4);
    }
    const bool onDrive = plain.size() >= 3 && plain[1] == ':' && plain[2] == '\\';
    place.onShare = longShare || (plain.starts_with("\\\\") && !plain.starts_with("\\\\.\\") &&
                                  !plain.starts_with("\\\\?\\"));
    if (!(onDrive || place.onShare) || place.name.empty() ||
        place.name.find(':') != std::string::npos) {
        refusal = "it is not a file in a folder of a disk or a share";
        return std::nullopt;
    }
    return place;
}

std::string folderRefusal(const std::string& asked, const std::string& reached) {
    if (!reached.empty() && equalsIgnoringAsciiCase(reached, asked)) {
        return "";
    }
    return cat({"the folder ", quoted(asked), " leads to ",
                reached.empty() ? "a place that cannot be named" : quoted(reached),
                " (a link, junction or mount point on the way)"});
}

std::string logFileRefusal(const OpenedFileFacts& facts, bool elevated,
                           const TrustedAccounts& trusted, const AccountNameOf& nameOf,
                           bool onShare) {
    if (facts.folder) {
        return "it is a folder";
    }
    if (!facts.diskFile) {
        return "it is not a file on a disk";
    }
    if (!facts.readable) {
        return "what it is cannot be read";
    }
    if (facts.reparse) {
        return "it is a link or another reparse point";
    }
    if (facts.links > 1) {
        return cat({"the file has ", Decimal(facts.links), " hard links"});
    }
    // Run elevated, the program writes only into a file that no other user could have made
    // and handed to it.
    if (std::string owner;
        elevated && !(owner = foreignOwner(facts.owner, trusted, nameOf, onShare)).empty()) {
        return owner + ", not the Administrators, SYSTEM or the account of this run";
    }
    return "";
}

std::string mutexRefusal(const MutexFacts& facts, const TrustedAccounts& trusted,
                         const AccountNameOf& nameOf) {
    switch (facts.opened) {
    case MutexFacts::Opened::OtherKind:
        return "an object of another kind bears its name";
    case MutexFacts::Opened::Denied:
        return "it shuts this process out";
    case MutexFacts::Opened::Mutex:
        // Anyone may make an object in Global\; only an administrator in the namespace.
        return facts.existed && !facts.privateNamespace ? foreignOwner(facts.owner, trusted, nameOf)
                                                        : "";
    case MutexFacts::Opened::Failed:
        break;
    }
    return "";
}

} // namespace vexo
