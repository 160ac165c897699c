// Who beside the administrators may change a file or folder of the driver package, read from
// its owner and access list: the folders deployments start from, and each way a standard
// user could swap a file.
#include "install/PackageTrust.h"
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
TEST(OutsideWriter, TheDomainsAdministratorsComeFromTheLocalPolicy) {
    sim::SimMachine m;
    EXPECT_EQ(trustedAccountsOf(m.system).domainAdmins, "");
    m.system.setDomain("S-1-5-21-7-8-9", "");
    TrustedAccounts t = trustedAccountsOf(m.system);
    EXPECT_EQ(t.domainAdmins + " " + t.enterpriseAdmins, "S-1-5-21-7-8-9-512 ");
    m.system.setDomain("S-1-5-21-7-8-9", "S-1-5-21-7-8-9");
    EXPECT_EQ(trustedAccountsOf(m.system).enterpriseAdmins, kEnterpriseAdmins);
}

} // namespace
} // namespace vexo::test
