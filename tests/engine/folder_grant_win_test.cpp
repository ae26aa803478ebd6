// Which folders EnsureFolder opens to the users group: the program folder, the
// data folder and what lies below them, never another folder such as the
// common desktop or the start menu's Programs folder.
#include "engine/folders.h"

#include <windows.h>
#include <aclapi.h>

#include <gtest/gtest.h>

#include "engine/engine_state.h"
#include "support/folder_acl_win.h"
#include "support/test_support.h"
#include "util/nt_security.h"
#include "util/win_handles.h"

namespace {

// Whether Everyone has an allowed entry in the folder's access list (under
// Wine the one grant that leaves a visible trace).
bool EveryoneAllowed(const std::string& folder)
{
    return AllowedEntryFor(folder, WinWorldSid).Found;
}

class FolderGrantTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetEngineState();
        ResetFolderAccessState();
        Engine.PgmPath = dir_.File("Programs\\Morvane") + "\\";
        Engine.DataPath = dir_.File("Data");
    }
    void TearDown() override
    {
        ResetEngineState();
        ResetFolderAccessState();
    }
    // Ensures the folder and tells whether a grant was made.
    bool EnsureAndSeeGrant(const std::string& folder)
    {
        ResetFolderAccessState();
        EXPECT_TRUE(EnsureFolder(folder)) << folder;
        return !RememberedTrusteeName().empty();
    }
    TempDir dir_;
};

} // namespace

TEST_F(FolderGrantTest, OnlyProgramAndDataFoldersAndTheirSubfoldersAreGranted)
{
    EXPECT_TRUE(EnsureAndSeeGrant(Engine.PgmPath)) << "the program folder";
    EXPECT_TRUE(EnsureAndSeeGrant(dir_.File("Programs\\MORVANE\\Help\\en"))) << "below it, letter case ignored";
    EXPECT_TRUE(EnsureAndSeeGrant(dir_.File("Data"))) << "the data folder";
    EXPECT_TRUE(EnsureAndSeeGrant(dir_.File("Data\\Backup\\"))) << "below the data folder";

    EXPECT_FALSE(EnsureAndSeeGrant(dir_.File("Programs\\Morvane Tools"))) << "a sibling whose name begins alike";
    EXPECT_FALSE(EnsureAndSeeGrant(dir_.File("Programs"))) << "the parent of the program folder";
    EXPECT_FALSE(EnsureAndSeeGrant(dir_.File("Start Menu\\Morvane"))) << "a new folder elsewhere";

    Engine.PgmPath.clear();
    Engine.DataPath.clear();
    EXPECT_FALSE(EnsureAndSeeGrant(dir_.File("Unset\\Sub"))) << "no program folder known, nothing granted";

    // Every folder is recorded for the uninstaller all the same.
    for (const char* name : {"Programs\\Morvane", "Programs\\MORVANE\\Help\\en", "Data", "Data\\Backup",
                             "Programs\\Morvane Tools", "Programs", "Start Menu\\Morvane", "Unset\\Sub"}) {
        bool recorded = false;
        for (const std::string& folder : Engine.CreatedFolders) recorded = recorded || _stricmp(folder.c_str(), dir_.File(name).c_str()) == 0;
        EXPECT_TRUE(recorded) << name;
    }
}

TEST_F(FolderGrantTest, ExistingFolderOutsideKeepsItsAccessList)
{
    // A shared folder that exists already, e.g. the common desktop, open to
    // Everyone by its owner: ensuring it must not replace that list.
    const std::string shared = dir_.File("Common Desktop");
    ASSERT_TRUE(CreateDirectoryA(shared.c_str(), nullptr));
    ASSERT_TRUE(GrantAccessToTrustee(shared, "Everyone"));
    ASSERT_TRUE(EveryoneAllowed(shared));
    EXPECT_FALSE(EnsureAndSeeGrant(shared));
    EXPECT_TRUE(EveryoneAllowed(shared)) << "the folder's access list is unchanged";

    // An existing folder inside the program folder is granted anew.
    const std::string inside = dir_.File("Programs\\Morvane\\Shared");
    ASSERT_TRUE(CreateFolderChain(inside));
    EXPECT_TRUE(EnsureAndSeeGrant(inside));
}
