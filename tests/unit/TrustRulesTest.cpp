// Whom the installer trusts and what it refuses, judged from what the system reports: who
// beside the administrators may change a file or folder of the driver package, which log
// files it writes and which lock under its name it honours.
#include "install/PackageTrust.h"
#include "platform/Text.h"
#include "tests/sim/SimMachine.h"

#include <gtest/gtest.h>

namespace vexo::test {
namespace {

using namespace rights;
constexpr const char* kAccount = "S-1-5-21-1-2-3-1001"; // the running account
constexpr const char* kAlice = "S-1-5-21-1-2-3-1002";
constexpr const char* kDomainUsers = "S-1-5-21-7-8-9-513";
// The joined domain, the root of its forest: its Domain Admins and Enterprise Admins.
constexpr const char* kDomainAdmins = "S-1-5-21-7-8-9-512";
constexpr const char* kEnterpriseAdmins = "S-1-5-21-7-8-9-519";
constexpr const char* kDomain = "S-1-5-21-7-8-9";
const TrustedAccounts kTrusted{kAccount, kDomainAdmins, kEnterpriseAdmins, "", ""};

// Owned by Administrators, SYSTEM with full control, and one more entry.
ObjectSecurity with(const char* sid, std::uint32_t mask, std::uint8_t flags = 0,
                    std::uint8_t type = ace::Allowed) {
    return {sids::Administrators,
            true,
            {{ace::Allowed, 0, FileAllAccess, sids::LocalSystem}, {type, flags, mask, sid}}};
}

TEST(OutsideWriter, IsTheForeignOwnerOrTheFirstEntryThatLetsSomeoneElseChangeIt) {
    const AccessEntry users{ace::Allowed, 0, FileReadAndExecute, sids::Users};
    struct Row {
        const char* what;
        ObjectSecurity security;
        bool folder;
        const char* writer; // nullptr: nobody beside the four
    } rows[] = {
        {"Wine's default",
         {kAccount, true, {{0, 0, FileAllAccess, kAccount}, users}},
         true,
         nullptr},
        {"Program Files",
         {sids::TrustedInstaller,
          true,
          {{0, 0, FileModify, sids::Administrators},
           users,
           {0, ace::InheritOnly | ace::ContainerInherit, GenericAll, sids::CreatorOwner}}},
         true,
         nullptr},
        {"a read-only share", with(kDomainUsers, FileReadAndExecute), true, nullptr},
        {"Everyone: Modify", with(sids::Everyone, FileModify, ace::Inherited), false,
         sids::Everyone},
        {"add a file", with(sids::Users, WriteData), true, sids::Users},
        {"append", with(sids::Users, AppendData), false, sids::Users},
        {"delete", with(sids::Interactive, Delete), false, sids::Interactive},
        {"change the access list", with(kDomainUsers, WriteDac), false, kDomainUsers},
        {"take ownership", with(kDomainUsers, WriteOwner), false, kDomainUsers},
        {"generic write", with(sids::AuthenticatedUsers, GenericWrite), false,
         sids::AuthenticatedUsers},
        {"generic all", with(kDomainUsers, GenericAll), false, kDomainUsers},
        {"a folder's delete-child", with(sids::Users, DeleteChild), true, sids::Users},
        {"a file's bit of that value", with(sids::Users, DeleteChild), false, nullptr},
        {"denied", with(sids::Everyone, FileAllAccess, 0, ace::Denied), false, nullptr},
        {"denied, object kind", with(sids::Everyone, FileModify, 0, ace::DeniedObject), false,
         nullptr},
        {"denied, callback kind", with(sids::Everyone, FileModify, 0, ace::DeniedCallback), false,
         nullptr},
        {"inherit-only", with(sids::Everyone, GenericAll, ace::InheritOnly), true, nullptr},
        {"conditional", with(sids::Users, FileModify, 0, ace::AllowedCallback), false, sids::Users},
        {"a SID that cannot be read", with("", FileModify), false, ""},
        {"no access list", {sids::Administrators, false, {}}, false, sids::Everyone},
        {"a user's folder", {kAlice, true, {{0, 0, FileAllAccess, kAlice}}}, true, kAlice},
        {"no owner", {"", true, {}}, false, ""},
        // A Group Policy folder in SYSVOL: Domain Admins own it, Enterprise Admins may change it.
        {"SYSVOL",
         {kDomainAdmins, true, {{0, 0, FileAllAccess, kEnterpriseAdmins}}},
         true,
         nullptr},
        {"another domain's Domain Admins", with("S-1-5-21-4-5-6-512", FileModify), false,
         "S-1-5-21-4-5-6-512"},
        {"a RID that only begins with 512", with("S-1-5-21-7-8-9-5120", FileModify), false,
         "S-1-5-21-7-8-9-5120"},
    };
    for (const Row& r : rows) {
        const std::optional<OutsideWriter> got = outsideWriter(r.security, kTrusted, r.folder);
        if (r.writer == nullptr) {
            EXPECT_FALSE(got) << r.what << ": " << got->sid;
        } else {
            ASSERT_TRUE(got) << r.what;
            EXPECT_EQ(got->sid, r.writer) << r.what;
            EXPECT_EQ(got->owner, got->sid == r.security.owner) << r.what;
        }
    }
}

// Outside a domain only the built-in groups and the account; in a child domain the root's
// Enterprise Admins cannot be told without asking a domain controller, and are not trusted.
// The computer's account counts only for a LocalSystem run.
TEST(OutsideWriter, TheDomainsAdministratorsComeFromTheLocalPolicy) {
    sim::SimMachine m;
    EXPECT_EQ(trustedAccountsOf(m.system).domainAdmins, "");
    m.system.setDomain(kDomain, "", "VEXO\\PC1$");
    TrustedAccounts t = trustedAccountsOf(m.system);
    EXPECT_EQ(t.domainAdmins + " " + t.enterpriseAdmins + " " + t.computerAccount,
              "S-1-5-21-7-8-9-512  ");
    m.system.setDomain(kDomain, kDomain, "VEXO\\PC1$");
    m.system.setAccount("NT AUTHORITY\\SYSTEM", true);
    t = trustedAccountsOf(m.system);
    EXPECT_EQ(t.enterpriseAdmins + " " + t.domain + " " + t.computerAccount,
              cat({kEnterpriseAdmins, " ", kDomain, " VEXO\\PC1$"}));
}

// Names as a lookup would give them; a SID it cannot name comes back empty. Any SID ending
// in 1107 names the computer's account: a lookalike only its SID tells apart.
std::string nameOf(const std::string& sid) {
    if (sid == kAlice) {
        return "VEXO-PC\\alice";
    }
    if (sid.ends_with("-1107") || sid == "S-1-5-21-7-8-9-") {
        return "VEXO\\PC1$";
    }
    return sid == "S-1-5-21-7-8-9-1108" ? "VEXO\\PC2$" : "";
}

TEST(LogRefusal, AnythingButAPlainFileOfItsOwnIsRefusedAndElevatedOnlyATrustedOwnersOne) {
    const TrustedAccounts computer{sids::LocalSystem, kDomainAdmins, "", kDomain, "VEXO\\PC1$"};
    const std::string notTrusted = ", not the Administrators, SYSTEM or the account of this run";
    auto file = [](OwnerFact owner, std::uint32_t links = 1) {
        return OpenedFileFacts{false, true, true, false, links, std::move(owner)};
    };
    struct Row {
        const char* what;
        OpenedFileFacts facts;
        bool elevated;
        const TrustedAccounts& trusted;
        bool onShare;
        std::string refusal;
    } rows[] = {
        {"a folder",
         {true, false, false, false, 0, std::nullopt},
         false,
         kTrusted,
         false,
         "it is a folder"},
        {"a pipe or a device",
         {false, false, true, false, 1, kAccount},
         true,
         kTrusted,
         false,
         "it is not a file on a disk"},
        {"unreadable",
         {false, true, false, false, 0, kAccount},
         true,
         kTrusted,
         false,
         "what it is cannot be read"},
        {"a link",
         {false, true, true, true, 1, kAccount},
         true,
         kTrusted,
         false,
         "it is a link or another reparse point"},
        {"a second hard link", file(kAccount, 2), false, kTrusted, false,
         "the file has 2 hard links"},
        {"its own", file(kAccount), true, kTrusted, false, ""},
        {"TrustedInstaller's", file(sids::TrustedInstaller), true, kTrusted, false, ""},
        {"the domain's administrators'", file(kDomainAdmins), true, kTrusted, false, ""},
        {"a user's", file(kAlice), true, kTrusted, false,
         "its owner is VEXO-PC\\alice" + notTrusted},
        {"a user's, not elevated", file(kAlice), false, kTrusted, false, ""},
        {"an account nobody can name", file("S-1-5-21-1-2-3-1003"), true, kTrusted, false,
         "its owner is S-1-5-21-1-2-3-1003" + notTrusted},
        {"no owner", file(""), true, kTrusted, false, "it has no owner" + notTrusted},
        {"an owner that cannot be read", file(std::nullopt), true, kTrusted, false,
         "its owner cannot be read" + notTrusted},
        {"the computer's account, on a share", file("S-1-5-21-7-8-9-1107"), true, computer, true,
         ""},
        {"the computer's account, on a disk", file("S-1-5-21-7-8-9-1107"), true, computer, false,
         "its owner is VEXO\\PC1$" + notTrusted},
        {"the computer's account, not LocalSystem", file("S-1-5-21-7-8-9-1107"), true, kTrusted,
         true, "its owner is VEXO\\PC1$" + notTrusted},
        {"another domain's account of that name", file("S-1-5-21-4-5-6-1107"), true, computer, true,
         "its owner is VEXO\\PC1$" + notTrusted},
        {"a domain whose SID only begins like it", file("S-1-5-21-7-8-91-1107"), true, computer,
         true, "its owner is VEXO\\PC1$" + notTrusted},
        {"a SID below an account of the domain", file("S-1-5-21-7-8-9-1107-1107"), true, computer,
         true, "its owner is VEXO\\PC1$" + notTrusted},
        {"the domain's SID and a dash", file("S-1-5-21-7-8-9-"), true, computer, true,
         "its owner is VEXO\\PC1$" + notTrusted},
        {"another computer of the domain", file("S-1-5-21-7-8-9-1108"), true, computer, true,
         "its owner is VEXO\\PC2$" + notTrusted},
    };
    for (const Row& r : rows) {
        EXPECT_EQ(logFileRefusal(r.facts, r.elevated, r.trusted, nameOf, r.onShare), r.refusal)
            << r.what;
    }
    EXPECT_TRUE(checkedAsElevated(Elevation::Unreadable)) << "a token that cannot be read";
    EXPECT_FALSE(checkedAsElevated(Elevation::NotElevated));
}

TEST(LogRefusal, OnlyAFileInAFolderOfADiskOrAShareThatLeadsWhereItSays) {
    struct Row {
        const char* full;
        const char* folder; // nullptr: refused
        bool onShare;
    } rows[] = {
        {"C:\\VEXO\\setup.log", "C:\\VEXO", false},
        {"C:\\setup.log", "C:\\", false},
        {"\\\\?\\C:\\setup.log", "\\\\?\\C:\\", false},
        {"\\\\server\\share\\setup.log", "\\\\server\\share", true},
        {"\\\\?\\UNC\\server\\share\\setup.log", "\\\\?\\UNC\\server\\share", true},
        {"\\\\.\\pipe\\setup.log", nullptr, false},
        {"\\\\?\\GLOBALROOT\\Device\\setup.log", nullptr, false},
        {"C:\\VEXO\\setup.log:hidden", nullptr, false},
        {"C:\\VEXO\\", nullptr, false},
    };
    for (const Row& r : rows) {
        std::string refusal;
        const std::optional<LogPlace> place = logPlaceOf(r.full, refusal);
        ASSERT_EQ(place.has_value(), r.folder != nullptr) << r.full;
        if (place) {
            EXPECT_EQ(place->folder + "|" + place->name + "|" + (place->onShare ? "share" : ""),
                      cat({r.folder, "|setup.log|", r.onShare ? "share" : ""}));
        } else {
            EXPECT_EQ(refusal, "it is not a file in a folder of a disk or a share") << r.full;
        }
    }
    EXPECT_EQ(folderRefusal("c:\\ProgramData", "C:\\ProgramData"), "");
    EXPECT_EQ(folderRefusal("C:\\ProgramData", "C:\\Windows\\System32"),
              "the folder \"C:\\ProgramData\" leads to \"C:\\Windows\\System32\" (a link, "
              "junction or mount point on the way)");
    EXPECT_EQ(folderRefusal("C:\\ProgramData", ""),
              "the folder \"C:\\ProgramData\" leads to a place that cannot be named (a link, "
              "junction or mount point on the way)");
}

TEST(MutexRefusal, WhatAnotherUserCouldHaveMadeUnderTheLocksNameIsNotHonoured) {
    using Opened = MutexFacts::Opened;
    auto found = [](Opened opened, bool inNamespace, bool existed, OwnerFact owner) {
        return MutexFacts{opened, err::Success, "", inNamespace, existed, std::move(owner)};
    };
    struct Row {
        const char* what;
        MutexFacts facts;
        const char* refusal;
    } rows[] = {
        {"made now", found(Opened::Mutex, false, false, std::nullopt), ""},
        {"an administrator's", found(Opened::Mutex, false, true, sids::Administrators), ""},
        {"the domain's administrators'", found(Opened::Mutex, false, true, kDomainAdmins), ""},
        {"a user's", found(Opened::Mutex, false, true, kAlice), "its owner is VEXO-PC\\alice"},
        {"a user's, in the namespace", found(Opened::Mutex, true, true, kAlice), ""},
        {"no owner", found(Opened::Mutex, false, true, ""), "it has no owner"},
        {"an owner that cannot be read", found(Opened::Mutex, false, true, std::nullopt),
         "its owner cannot be read"},
        {"another kind", found(Opened::OtherKind, false, true, std::nullopt),
         "an object of another kind bears its name"},
        {"denied", found(Opened::Denied, true, true, std::nullopt), "it shuts this process out"},
        {"failed", found(Opened::Failed, false, false, std::nullopt), ""},
    };
    for (const Row& r : rows) {
        EXPECT_EQ(mutexRefusal(r.facts, kTrusted, nameOf), r.refusal) << r.what;
    }
}

} // namespace
} // namespace vexo::test
