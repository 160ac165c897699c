// Who beside the administrators may change a file or folder of the driver package, read from
// its owner and access list: the folders that deployments really start from, and each way a
// standard user could swap a file.
#include "install/PackageTrust.h"

#include <gtest/gtest.h>

namespace vexo::test {
namespace {

constexpr const char* kAccount = "S-1-5-21-1-2-3-1001"; // the running account
constexpr const char* kAlice = "S-1-5-21-1-2-3-1002";
constexpr const char* kDomainUsers = "S-1-5-21-7-8-9-513";
constexpr const char* kAppPackages = "S-1-15-2-1";

AccessEntry allow(const char* sid, std::uint32_t mask, std::uint8_t flags = 0) {
    return {ace::Allowed, flags, mask, sid};
}

TEST(OutsideWriter, IsTheForeignOwnerOrTheFirstEntryThatLetsSomeoneElseChangeIt) {
    using namespace rights;
    const AccessEntry system = allow(sids::LocalSystem, FileAllAccess);
    const AccessEntry admins = allow(sids::Administrators, FileAllAccess);
    const AccessEntry usersRead = allow(sids::Users, FileReadAndExecute);
    struct Row {
        const char* what;
        ObjectSecurity security;
        bool folder;
        const char* writer; // nullptr: nobody beside the four
        bool owner;
    };
    const Row rows[] = {
        {"Wine's default",
         {kAccount,
          true,
          {system, allow(kAccount, FileAllAccess), allow(sids::Everyone, FileReadAndExecute)}},
         true,
         nullptr,
         false},
        {"Program Files",
         {sids::TrustedInstaller,
          true,
          {allow(sids::TrustedInstaller, FileAllAccess), allow(sids::LocalSystem, FileModify),
           allow(sids::Administrators, FileModify), usersRead,
           allow(sids::CreatorOwner, GenericAll, ace::InheritOnly | ace::ContainerInherit),
           allow(kAppPackages, FileReadAndExecute)}},
         true,
         nullptr,
         false},
        {"a read-only share",
         {sids::Administrators, true, {admins, allow(kDomainUsers, FileReadAndExecute)}},
         true,
         nullptr,
         false},
        {"Everyone: Modify",
         {sids::Administrators, true, {admins, allow(sids::Everyone, FileModify)}},
         false,
         sids::Everyone,
         false},
        {"generic write",
         {sids::LocalSystem, true, {allow(sids::AuthenticatedUsers, GenericWrite)}},
         false,
         sids::AuthenticatedUsers,
         false},
        {"generic all",
         {sids::LocalSystem, true, {system, allow(kDomainUsers, GenericAll)}},
         false,
         kDomainUsers,
         false},
        {"append only",
         {sids::Administrators, true, {usersRead, allow(sids::Users, AppendData)}},
         false,
         sids::Users,
         false},
        {"add a file to a folder",
         {sids::Administrators, true, {allow(sids::Users, WriteData)}},
         true,
         sids::Users,
         false},
        {"delete",
         {sids::Administrators, true, {allow(sids::Interactive, Delete | Synchronize)}},
         false,
         sids::Interactive,
         false},
        {"change the access list",
         {sids::Administrators, true, {allow(kDomainUsers, WriteDac)}},
         false,
         kDomainUsers,
         false},
        {"take ownership",
         {sids::Administrators, true, {allow(kDomainUsers, WriteOwner)}},
         false,
         kDomainUsers,
         false},
        {"a folder's delete-child",
         {sids::Administrators, true, {allow(sids::Users, DeleteChild)}},
         true,
         sids::Users,
         false},
        {"a file's bit of the same value",
         {sids::Administrators, true, {allow(sids::Users, DeleteChild)}},
         false,
         nullptr,
         false},
        {"denied, not allowed",
         {sids::Administrators, true, {{ace::Denied, 0, FileAllAccess, sids::Everyone}}},
         false,
         nullptr,
         false},
        {"inherit-only",
         {sids::Administrators,
          true,
          {allow(sids::Everyone, GenericAll, ace::InheritOnly | ace::ObjectInherit)}},
         true,
         nullptr,
         false},
        {"inherited from the folder above",
         {sids::Administrators, true, {allow(sids::Everyone, FileModify, ace::Inherited)}},
         false,
         sids::Everyone,
         false},
        {"a conditional (callback) entry",
         {sids::Administrators, true, {{ace::AllowedCallback, 0, FileModify, sids::Users}}},
         false,
         sids::Users,
         false},
        {"an entry whose SID cannot be read",
         {sids::Administrators, true, {allow("", FileModify)}},
         false,
         "",
         false},
        {"no access list", {sids::Administrators, false, {}}, false, sids::Everyone, false},
        {"a user's folder",
         {kAlice, true, {system, admins, allow(kAlice, FileAllAccess)}},
         true,
         kAlice,
         true},
        {"no owner", {"", true, {admins}}, false, "", true},
        {"the running account's own",
         {kAccount, true, {allow(kAccount, FileAllAccess)}},
         false,
         nullptr,
         false},
    };
    for (const Row& r : rows) {
        const std::optional<OutsideWriter> got = outsideWriter(r.security, kAccount, r.folder);
        if (r.writer == nullptr) {
            EXPECT_FALSE(got) << r.what << ": " << got->sid;
        } else {
            ASSERT_TRUE(got) << r.what;
            EXPECT_EQ(got->sid, r.writer) << r.what;
            EXPECT_EQ(got->owner, r.owner) << r.what;
        }
    }
}

} // namespace
} // namespace vexo::test
