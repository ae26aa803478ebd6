// Crafted uninstall lists: the uninstaller deletes exactly the files its list
// names (outside the installation too, since they are in its list) and
// nothing else, keeps data files, and removes only folders that are empty.
#include <windows.h>

#include <gtest/gtest.h>

#include "container/sections.h"
#include "container/zlib_wrapper.h"
#include "e2e_support_win.h"
#include "support/test_support.h"
#include "util/win_handles.h"

namespace {

std::string Uninstaller(const std::string& list)
{
    return SetupImage() + MakeSection(SectionBeginningMark, "") +
           MakeSection(SectionSetupLng, Utf16LeWithMark("DE=Setup f\xFCr\r\nEN=Setup for\r\n")) +
           MakeSection(SectionUninst, CompressString(list, LevelDefault));
}

} // namespace

TEST(CraftedUninstallList, RemovesOnlyWhatTheListNamesAndOnlyEmptyFolders)
{
    TempDir dir;
    const std::string pgm = dir.File("Pgm");
    const std::string outside = dir.File("Outside");
    for (const std::string& folder : {pgm, pgm + "\\Empty", pgm + "\\Empty\\Deeper", pgm + "\\Gained", pgm + "\\DemoData",
                                      outside, outside + "\\Listed"})
        ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr)) << folder;
    const std::vector<std::string> listedFiles = {pgm + "\\Morvane.exe", pgm + "\\Gained\\shipped.txt",
                                                  outside + "\\victim.txt"};
    const std::vector<std::string> keptFiles = {
        pgm + "\\DemoData\\Data.ada",   // a data file, listed
        pgm + "\\Gained\\mine.doc",     // the user's file in a listed folder
        outside + "\\neighbour.txt",    // beside a listed file, not listed
        outside + "\\Listed\\own.txt",  // in a listed folder outside
        pgm + "\\upper.txt",            // listed with "File=", which is no file line
        pgm + "\\spaced.txt",           // listed with " file=", which is no file line
    };
    for (const std::string& file : listedFiles) WriteTestFile(file, "installed");
    for (const std::string& file : keptFiles) WriteTestFile(file, "keep me");
    WriteTestFile(pgm + "\\uninstall.exe", "");

    const std::string list = "UninstallKey=E2ECraftedNoSuchEntry\r\nLng=EN\r\n"
                             "file=" + listedFiles[0] + "\r\nfile=" + listedFiles[1] + "\r\nfile=" + listedFiles[2] +
                             "\r\nfile=" + pgm + "\\DemoData\\Data.ada\r\nfile=" + pgm + "\\never-there.txt\r\n"
                             "File=" + pgm + "\\upper.txt\r\n file=" + pgm + "\\spaced.txt\r\n"
                             "garbage without a name\r\n=\r\nfile=\r\ndir=\r\n"
                             "dir=" + outside + "\\Listed\r\ndir=" + pgm + "\\Gained\r\ndir=" + pgm + "\\Empty\\Deeper\r\n"
                             "dir=" + pgm + "\\DemoData\r\ndir=" + pgm + "\r\n";
    const std::string uninstaller = pgm + "\\uninstall.exe";
    WriteTestFile(uninstaller, Uninstaller(list));

    {
        // The main program in use: the uninstall stops before it removes anything.
        FileHandle inUse(CreateFileA(listedFiles[0].c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(inUse);
        const TRunResult refused = RunProgram("\"" + uninstaller + "\" /uninst /S");
        EXPECT_EQ(refused.ExitCode, 6u) << "a program in use";
        EXPECT_NE(refused.StandardError.find("in Benutzung"), std::string::npos) << refused.StandardError;
        for (const std::string& file : listedFiles) EXPECT_TRUE(PathExists(file)) << "still there: " << file;
        EXPECT_TRUE(PathExists(pgm + "\\Empty\\Deeper"));
    }
    const TRunResult run = RunProgram("\"" + uninstaller + "\" /uninst /S");
    EXPECT_EQ(run.ExitCode, 0u) << run.StandardError;
    for (const std::string& file : listedFiles) EXPECT_FALSE(PathExists(file)) << "listed, so removed: " << file;
    for (const std::string& file : keptFiles) EXPECT_EQ(ReadTestFile(file), "keep me") << file;
    EXPECT_FALSE(PathExists(pgm + "\\Empty\\Deeper")) << "a listed folder that is empty goes";
    EXPECT_FALSE(PathExists(pgm + "\\Empty")) << "and so does its parent once empty";
    EXPECT_TRUE(PathExists(pgm + "\\Gained")) << "a folder that gained the user's file stays";
    EXPECT_TRUE(PathExists(pgm + "\\DemoData")) << "a folder holding a kept data file stays";
    EXPECT_TRUE(PathExists(outside + "\\Listed")) << "a listed folder outside with a file in it stays";
    EXPECT_TRUE(PathExists(pgm)) << "the program folder still holds files";
    EXPECT_TRUE(PathExists(dir.Path().string())) << "the folder above is never listed";
}
