#include "engine/folders.h"

#include <gtest/gtest.h>

TEST(FolderPathRules, ParentFolderKeepsRootsAndNetworkPrefixes)
{
    EXPECT_EQ(ParentFolder("C:\\a"), "C:\\");
    EXPECT_EQ(ParentFolder("C:\\a\\b"), "C:\\a");
    EXPECT_EQ(ParentFolder("\\\\server\\share"), "\\\\server");
    EXPECT_EQ(ParentFolder("\\\\server"), "\\\\");
    EXPECT_EQ(ParentFolder("C:a"), "C:");
    EXPECT_EQ(ParentFolder("folder"), "");
    EXPECT_EQ(ParentFolder("x:"), "x:") << "a parent equal to the path ends the folder chain";
}

TEST(FolderPathRules, FolderPartTrailingBackslashesAndAllUsers)
{
    EXPECT_EQ(FolderPartOf("D:\\P\\Data\\a.txt"), "D:\\P\\Data\\");
    EXPECT_EQ(FolderPartOf("C:a.txt"), "C:");
    EXPECT_EQ(FolderPartOf("a.txt"), "");
    EXPECT_EQ(WithoutTrailingBackslashes("C:\\x\\y\\\\"), "C:\\x\\y");
    EXPECT_EQ(WithoutTrailingBackslashes("\\"), "");
    EXPECT_EQ(AdministratorToAllUsers("C:\\Documents and Settings\\Administrator\\Desktop"),
              "C:\\Documents and Settings\\All Users\\Desktop");
    EXPECT_EQ(AdministratorToAllUsers("C:\\Administrator\\Administrator\\x"), "C:\\All Users\\Administrator\\x")
        << "only the first occurrence changes";
    EXPECT_EQ(AdministratorToAllUsers("C:\\Profiles\\Administrator"), "C:\\Profiles\\Administrator")
        << "needs the backslash after the name";
    EXPECT_EQ(AdministratorToAllUsers("C:\\x\\administrator\\y"), "C:\\x\\administrator\\y")
        << "letter case counts";
}
