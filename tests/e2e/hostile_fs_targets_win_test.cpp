// Installing into and removing from file systems in awkward states: a target
// file that is read-only or locked by another process, a folder that cannot be
// created, paths longer than MAX_PATH, a program folder with non-ASCII
// characters of the current code page, and an installation the user changed
// before removal. Each ends as the engine's rules say, with a clear error where
// it fails, and nothing the user made is lost.
#include <windows.h>

#include <gtest/gtest.h>

#include "e2e_support_win.h"
#include "engine/command_text.h"
#include "support/test_support.h"
#include "util/file_replace.h"
#include "util/win_handles.h"

namespace {

const std::string UninstallList = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

bool IsOneErrorLine(const std::string& text)
{
    return text.size() > 9 && text.compare(0, 7, "Setup: ") == 0 && text.find('\n') == text.size() - 1;
}

class HostileFsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        // Every 64-bit Windows has the 32-bit view of the list; a new Wine prefix may not.
        RegSetString(HKEY_LOCAL_MACHINE, UninstallList + "\\SetupE2EProbe", "x", "y");
        RegDeleteTreeAt(HKEY_LOCAL_MACHINE, UninstallList + "\\SetupE2EProbe");
        name_ = "E2EHostile" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++counter_);
        product_ = "SetupE2E\\" + name_;
        files_ = {
            {"Morvane.exe", MakeTestBytes(6000, false, 31), false, false},
            {"Help\\manual.htm", MakeTestBytes(12000, true, 32), true, false},
            {"Templates\\Form1.rtf", MakeTestBytes(4000, true, 33), true, false},
            {"DemoData\\Data.ada", MakeTestBytes(3000, true, 34), true, true},
        };
    }
    void TearDown() override
    {
        RegDeleteTreeAt(HKEY_LOCAL_MACHINE, "SOFTWARE\\" + product_);
        RegDeleteTreeAt(HKEY_CURRENT_USER, "SOFTWARE\\" + product_);
        for (const std::string& entry : RegSubkeys(HKEY_LOCAL_MACHINE, UninstallList))
            if (entry.compare(0, name_.size() + 1, name_ + " ") == 0)
                RegDeleteTreeAt(HKEY_LOCAL_MACHINE, UninstallList + "\\" + entry);
    }

    TRunResult Install(const std::string& folder, const std::vector<TPackageFile>& files)
    {
        std::string payload;
        std::vector<std::string> script = {"action=path," + QuoteItem("PgmPath=" + dir_.File("Default") + "\\") + "," +
                                           QuoteItem("Registry=" + product_) + ",Version=2012-01,Lng=DE"};
        for (const std::string& line : SaveLines(files, payload)) script.push_back(line);
        script.push_back("action=uninst,pgm=*PgmPath*\\uninstall.exe,param=/uninst," + QuoteItem("name=" + name_));
        const std::string installer = dir_.File("Setup.exe");
        WriteTestFile(installer, MakeInstaller(script, payload, Utf16LeWithMark("DE=Setup f\xFCr\r\nEN=Setup for\r\n")));
        return RunProgram("\"" + installer + "\" /S \"/D=" + folder + "\"");
    }
    TRunResult Uninstall(const std::string& folder)
    {
        return RunProgram("\"" + folder + "\\uninstall.exe\" /uninst /S");
    }

    static int counter_;
    TempDir dir_;
    std::string name_, product_;
    std::vector<TPackageFile> files_;
};

int HostileFsTest::counter_ = 0;

} // namespace

TEST_F(HostileFsTest, UnwritableTargetsStopTheRunWithAWriteError)
{
    // A read-only file in the way: "Write Error", exit code 1, the file unchanged.
    const std::string folder = dir_.File("ReadOnly");
    ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
    CreateDirectoryA((folder + "\\Help").c_str(), nullptr);
    WriteTestFile(folder + "\\Help\\manual.htm", "the user's copy");
    ASSERT_TRUE(SetFileAttributesA((folder + "\\Help\\manual.htm").c_str(), FILE_ATTRIBUTE_READONLY));
    TRunResult run = Install(folder, files_);
    EXPECT_EQ(run.ExitCode, 1u);
    EXPECT_TRUE(IsOneErrorLine(run.StandardError)) << run.StandardError;
    EXPECT_NE(run.StandardError.find("Write Error: " + folder + "\\Help\\manual.htm"), std::string::npos)
        << run.StandardError;
    EXPECT_EQ(ReadTestFile(folder + "\\Help\\manual.htm"), "the user's copy");
    EXPECT_FALSE(PathExists(folder + "\\Templates\\Form1.rtf")) << "the script stops at the failed command";
    SetFileAttributesA((folder + "\\Help\\manual.htm").c_str(), FILE_ATTRIBUTE_NORMAL);

    // A file held open without sharing by another process.
    const std::string lockedFolder = dir_.File("Locked");
    ASSERT_TRUE(CreateDirectoryA(lockedFolder.c_str(), nullptr));
    WriteTestFile(lockedFolder + "\\Morvane.exe", "running program");
    {
        FileHandle lock(CreateFileA((lockedFolder + "\\Morvane.exe").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_TRUE(lock);
        run = Install(lockedFolder, files_);
    }
    EXPECT_EQ(run.ExitCode, 6u) << "a file in use";
    EXPECT_TRUE(IsOneErrorLine(run.StandardError)) << run.StandardError;
    EXPECT_NE(run.StandardError.find("Write Error: " + lockedFolder + "\\Morvane.exe"), std::string::npos)
        << run.StandardError;
    EXPECT_EQ(ReadTestFile(lockedFolder + "\\Morvane.exe"), "running program");

    // A file where a folder must be created.
    const std::string blocked = dir_.File("Blocked");
    ASSERT_TRUE(CreateDirectoryA(blocked.c_str(), nullptr));
    WriteTestFile(blocked + "\\Help", "a file named like the folder");
    run = Install(blocked, files_);
    EXPECT_EQ(run.ExitCode, 1u);
    EXPECT_NE(run.StandardError.find("Write Error: " + blocked + "\\Help\\manual.htm"), std::string::npos)
        << run.StandardError;
    EXPECT_EQ(ReadTestFile(blocked + "\\Help"), "a file named like the folder");
}

TEST_F(HostileFsTest, PathsLongerThanMaxPathEndInAClearError)
{
    // The folder itself fits; a file inside it does not.
    std::string folder = dir_.File("Long");
    while (folder.size() < MAX_PATH - 40) folder += "\\abcdefghijklmnopqrstuvwxyz";
    std::vector<TPackageFile> files = files_;
    files.push_back({"Help\\" + std::string(60, 'n') + ".htm", "long name", false, false});
    const TRunResult run = Install(folder, files);
    std::printf("file beyond MAX_PATH: exit %lu %s", run.ExitCode, run.StandardError.c_str());
    ASSERT_NE(run.ExitCode, 0xFFFFFFFFu) << "hung";
    ASSERT_LT(run.ExitCode, 0xC0000000u) << "crashed";
    if (run.ExitCode == 0) {
        // A system with long paths enabled writes the file whole.
        EXPECT_EQ(ReadTestFile(folder + "\\" + files.back().Name), "long name");
    } else {
        EXPECT_TRUE(run.ExitCode == 1u || run.ExitCode == 2u) << run.ExitCode;
        EXPECT_TRUE(IsOneErrorLine(run.StandardError)) << run.StandardError;
    }

    // A folder name longer than MAX_PATH on its own.
    std::string tooLong = dir_.File("TooLong");
    while (tooLong.size() < MAX_PATH + 20) tooLong += "\\abcdefghijklmnopqrstuvwxyz";
    const TRunResult second = Install(tooLong, files_);
    std::printf("folder beyond MAX_PATH: exit %lu %s", second.ExitCode, second.StandardError.c_str());
    ASSERT_NE(second.ExitCode, 0xFFFFFFFFu) << "hung";
    ASSERT_LT(second.ExitCode, 0xC0000000u) << "crashed";
    if (second.ExitCode != 0) {
        EXPECT_TRUE(IsOneErrorLine(second.StandardError)) << second.StandardError;
    }
}

TEST_F(HostileFsTest, NonAsciiProgramFolderInstallsAndUninstalls)
{
    // Two letters outside ASCII, in the system's ANSI code page.
    const wchar_t wide[] = L"Pr\u00F6gramme \u00C9t\u00E9";
    char ansi[64] = {};
    BOOL lossy = FALSE;
    const int length = WideCharToMultiByte(CP_ACP, 0, wide, -1, ansi, sizeof(ansi), nullptr, &lossy);
    if (length <= 0 || lossy) GTEST_SKIP() << "the code page " << GetACP() << " lacks these letters";
    const std::string folder = dir_.File("Base") + "\\" + ansi + "\\Morvane";
    const TRunResult run = Install(folder, files_);
    ASSERT_EQ(run.ExitCode, 0u) << run.StandardError;
    for (const TPackageFile& file : files_) EXPECT_EQ(ReadTestFile(folder + "\\" + file.Name), file.Contents) << file.Name;

    const TRunResult removal = Uninstall(folder);
    EXPECT_EQ(removal.ExitCode, 0u) << removal.StandardError;
    EXPECT_FALSE(PathExists(folder + "\\Morvane.exe"));
    EXPECT_FALSE(PathExists(folder + "\\Help"));
    EXPECT_EQ(ReadTestFile(folder + "\\DemoData\\Data.ada"), files_.back().Contents) << "data files stay";
}

TEST_F(HostileFsTest, RemovalKeepsWhatTheUserMadeOrChanged)
{
    const std::string folder = dir_.File("Product\\Morvane");
    const TRunResult run = Install(folder, files_);
    ASSERT_EQ(run.ExitCode, 0u) << run.StandardError;
    WriteTestFile(folder + "\\DemoData\\Data.ada", "the user's keys");
    WriteTestFile(folder + "\\Help\\notes.txt", "the user's notes");
    CreateDirectoryA((folder + "\\Letters").c_str(), nullptr);
    WriteTestFile(folder + "\\Letters\\letter.rtf", "a letter");

    const TRunResult removal = Uninstall(folder);
    EXPECT_EQ(removal.ExitCode, 0u) << removal.StandardError;
    EXPECT_EQ(ReadTestFile(folder + "\\DemoData\\Data.ada"), "the user's keys") << "a changed data file stays";
    EXPECT_EQ(ReadTestFile(folder + "\\Help\\notes.txt"), "the user's notes") << "a file the user added stays";
    EXPECT_EQ(ReadTestFile(folder + "\\Letters\\letter.rtf"), "a letter") << "a folder the user made stays";
    EXPECT_FALSE(PathExists(folder + "\\Help\\manual.htm")) << "installed files go";
    EXPECT_FALSE(PathExists(folder + "\\Templates")) << "a folder left empty goes";
    EXPECT_FALSE(PathExists(folder + "\\Morvane.exe"));
}

TEST_F(HostileFsTest, CleanupRemovesOnlyOwnTemporariesInWrittenFolders)
{
    const std::string parent = dir_.File("Apps");
    const std::string folder = parent + "\\Morvane";
    std::vector<TPackageFile> files = files_;
    // A file whose path has exactly 259 characters is replaced as any other.
    const std::string longName = "Help\\" + std::string(259 - folder.size() - 10, 'n') + ".htm";
    files.push_back({longName, "long name", false, false});
    ASSERT_EQ((folder + "\\" + longName).size(), 259u);
    TRunResult run = Install(folder, files);
    ASSERT_EQ(run.ExitCode, 0u) << run.StandardError;
    // The user's files named as the temporaries once were (the first exactly
    // as a replaced file's), and leftovers of an interrupted run.
    WriteTestFile(folder + "\\Morvane.exe.~setup", "the user's");
    WriteTestFile(parent + "\\notes.~setup", "the user's");
    WriteTestFile(parent + "\\" + TemporaryName(4), "not the installation's folder");
    WriteTestFile(folder + "\\Help\\" + TemporaryName(7), "left");
    files.back().Contents = "replaced";
    run = Install(folder, files);
    ASSERT_EQ(run.ExitCode, 0u) << run.StandardError;
    EXPECT_EQ(ReadTestFile(folder + "\\" + longName), "replaced");
    EXPECT_FALSE(PathExists(folder + "\\Help\\" + TemporaryName(7))) << "a leftover where files are written goes";

    WriteTestFile(folder + "\\Templates\\" + TemporaryName(9), "left");
    const TRunResult removal = Uninstall(folder);
    EXPECT_EQ(removal.ExitCode, 0u) << removal.StandardError;
    EXPECT_FALSE(PathExists(folder + "\\Templates")) << "its leftover would keep the folder";
    EXPECT_EQ(ReadTestFile(folder + "\\Morvane.exe.~setup"), "the user's");
    EXPECT_EQ(ReadTestFile(parent + "\\notes.~setup"), "the user's") << "a created folder's parent is not searched";
    EXPECT_EQ(ReadTestFile(parent + "\\" + TemporaryName(4)), "not the installation's folder");
}
