#include "engine/program_folder.h"

#include <gtest/gtest.h>

TEST(ValidateProgramFolder, AcceptsFoldersBelowARootOrShare)
{
    std::string folder = "  C:\\Programme\\Morvane \t";
    EXPECT_TRUE(ValidateProgramFolder(folder));
    EXPECT_EQ(folder, "C:\\Programme\\Morvane\\") << "trimmed, final backslash added";

    folder = "C:\\X\\";
    EXPECT_TRUE(ValidateProgramFolder(folder));
    EXPECT_EQ(folder, "C:\\X\\");

    folder = "\\\\server\\share";
    EXPECT_TRUE(ValidateProgramFolder(folder));
    EXPECT_EQ(folder, "\\\\server\\share\\");
}

TEST(ValidateProgramFolder, RefusesRootsRelativeNamesAndServers)
{
    for (const char* refused : {"D:\\", "D:", "C:X", "Morvane", "", "   ", "\\\\server", "\\\\server\\", "\\x\\y"}) {
        std::string folder = refused;
        EXPECT_FALSE(ValidateProgramFolder(folder)) << "accepted: [" << refused << "]";
    }
    std::string blank = "  \t ";
    ValidateProgramFolder(blank);
    EXPECT_EQ(blank, "") << "the trimmed text replaces the given one";
}
