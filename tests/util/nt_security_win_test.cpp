#include "util/nt_security.h"

#include <windows.h>
#include <aclapi.h>

#include <gtest/gtest.h>

#include "support/folder_acl_win.h"
#include "support/test_support.h"
#include "util/win_handles.h"

TEST(NtSecurity, UserIsAdministratorAnswersFromTheToken)
{
    // Wine gives its user a token with the Administrators group.
    EXPECT_TRUE(UserIsAdministrator());
}

TEST(NtSecurity, GrantUsersFullAccessTriesNamesInOrderAndRemembersTheOneThatWorked)
{
    ResetFolderAccessState();
    TempDir dir;
    const std::string first = dir.File("first");
    const std::string second = dir.File("second");
    ASSERT_TRUE(CreateDirectoryA(first.c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryA(second.c_str(), nullptr));

    EXPECT_FALSE(GrantAccessToTrustee(first, "Benutzer")) << "no German account names on this system";
    EXPECT_FALSE(GrantAccessToTrustee(first, "NoSuchGroupName")) << "an unknown trustee is refused";
    EXPECT_FALSE(GrantAccessToTrustee(dir.File("missing"), "Users")) << "a missing folder is refused";

    ASSERT_TRUE(GrantUsersFullAccess(first));
    EXPECT_EQ(RememberedTrusteeName(), "Users") << "\"Benutzer\" fails, \"Users\" is the first name that works";
    ASSERT_TRUE(GrantUsersFullAccess(second));
    EXPECT_EQ(RememberedTrusteeName(), "Users");
    EXPECT_FALSE(GrantUsersFullAccess(dir.File("missing"))) << "no name works for a missing folder";
    EXPECT_EQ(RememberedTrusteeName(), "Users") << "a failed grant keeps the remembered name";
    ResetFolderAccessState();
}

TEST(NtSecurity, GrantedEntryIsInheritedFullControl)
{
    // Wine keeps no access list of its own for files: it shows one made from the
    // Unix mode bits, where only the grant to Everyone leaves a trace. That grant
    // shows what the entry holds.
    ResetFolderAccessState();
    TempDir dir;
    const std::string folder = dir.File("open");
    ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
    const DWORD fullFileAccess = FILE_ALL_ACCESS & 0x1FF; // every specific right
    const TAllowedEntry before = AllowedEntryFor(folder, WinWorldSid);
    ASSERT_FALSE(before.Found && (before.Mask & fullFileAccess) == fullFileAccess)
        << "a new folder is not yet writable for everyone";
    ASSERT_TRUE(GrantAccessToTrustee(folder, "Everyone"));
    const TAllowedEntry entry = AllowedEntryFor(folder, WinWorldSid);
    ASSERT_TRUE(entry.Found) << "Everyone has an entry in the folder's access list";
    EXPECT_EQ(entry.Mask & fullFileAccess, fullFileAccess) << "mask " << std::hex << entry.Mask;
    EXPECT_EQ(entry.Flags & (OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE), OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE)
        << "files and sub-folders inherit the entry";
    EXPECT_EQ(RememberedTrusteeName(), "") << "only GrantUsersFullAccess remembers a name";
    ResetFolderAccessState();
}
