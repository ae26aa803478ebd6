#include "engine/program_folder.h"

#include <gtest/gtest.h>

#include <utility>

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

TEST(ValidateProgramFolder, StoresTheFolderNormalisedAndRefusesDotSteps)
{
    for (const auto& [typed, stored] : {std::pair<std::string, std::string>{"C:\\Tools/Hello", "C:\\Tools\\Hello\\"},
                                        {"C:/Tools/Hello/", "C:\\Tools\\Hello\\"},
                                        {"C:\\Tools\\\\Hello\\\\", "C:\\Tools\\Hello\\"},
                                        {"//server/share", "\\\\server\\share\\"},
                                        {"\\\\\\server\\\\share", "\\\\server\\share\\"}}) {
        std::string folder = typed;
        EXPECT_TRUE(ValidateProgramFolder(folder)) << typed;
        EXPECT_EQ(folder, stored) << typed;
    }
    for (const char* refused : {"C:\\Tools\\..\\Hello", "C:\\Tools/./Hello", "C:\\Tools\\..", "\\\\.\\C:\\Tools"}) {
        std::string folder = refused;
        EXPECT_FALSE(ValidateProgramFolder(folder)) << refused;
    }
}

TEST(SamePath, IgnoresSeparatorFormAndLetterCase)
{
    EXPECT_TRUE(SamePath("C:\\Tools/Hello\\uninstall.exe", "c:\\tools\\hello\\UNINSTALL.EXE"));
    EXPECT_TRUE(SamePath("C:\\Tools\\\\Hello//uninstall.exe", "C:\\Tools\\Hello\\uninstall.exe"));
    EXPECT_FALSE(SamePath("C:\\Tools\\Hello\\uninstall.exe", "C:\\Tools\\Hello2\\uninstall.exe"));
    EXPECT_FALSE(SamePath("\\\\server\\x", "\\server\\x")) << "a network path is no rooted one";
}
