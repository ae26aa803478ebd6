// The copy that finishes a removal: its argument, and when an uninstaller may
// delete itself at all.
#include "engine/removal_finisher.h"

#include <gtest/gtest.h>

TEST(RemovalFinisher, ArgumentAndWhichUninstallerMayGo)
{
    unsigned long id = 0;
    std::string path;
    ASSERT_TRUE(ParseFinisherArgument(FinisherArgument(4711, "C:\\Program Files\\M|x\\uninstall.exe"), id, path));
    EXPECT_EQ(id, 4711u);
    EXPECT_EQ(path, "C:\\Program Files\\M|x\\uninstall.exe") << "only the first bar separates";
    for (const char* other : {"/finishremoval=|C:\\u.exe", "/FINISHREMOVAL=12x|C:\\u.exe", "/FINISHREMOVAL=12|",
                              "/FINISHREMOVAL=12", "/uninst"})
        EXPECT_FALSE(ParseFinisherArgument(other, id, path)) << other;

    const std::vector<std::string> list = {"UninstallKey=M", "file=C:\\P\\M\\m.exe", "file=C:\\P\\M\\Uninstall.exe",
                                           "dir=C:\\P\\Other"};
    EXPECT_TRUE(UninstallerBelongsToList(list, "c:\\p\\m\\uninstall.exe")) << "named, letter case aside";
    EXPECT_TRUE(UninstallerBelongsToList({"dir=C:\\P\\Other"}, "C:\\P\\Other\\uninstall.exe"))
        << "in a folder of the installation (an uninstaller written over an earlier one is not listed)";
    EXPECT_FALSE(UninstallerBelongsToList(list, "C:\\Users\\Me\\Downloads\\Setup.exe"))
        << "an installer started with /uninst from elsewhere keeps its file";
}
