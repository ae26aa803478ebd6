// A program folder on a drive that fills up: the run that does not fit ends
// with a write error naming the file, exit code 5 and its log, and leaves no
// cut file under any target name; a reinstall that does not fit keeps every
// earlier file whole. In the window, the run ends in the error message. The drive is a 2 MB tmpfs that tests/faults/
// with_small_drive.sh maps to R: (the cases skip without it).
#include <gtest/gtest.h>

#include <cstdlib>

#include "app/component_names_win.h"
#include "app/message_dialogs_win.h"
#include "engine/setup_script.h"
#include "fault_support_win.h"
#include "setup_driver_win.h"

namespace {

class FullDiskTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        const char* drive = std::getenv("SETUP_SMALL_DRIVE");
        if (!drive || !*drive) GTEST_SKIP() << "no small drive: with_small_drive.sh could not mount a tmpfs here";
        drive_ = drive;
        const std::string id = std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++counter_);
        product_.Name = "FaultDisk" + id;
        product_.Registry = "SetupFaults\\Disk" + id;
    }
    void TearDown() override
    {
        if (drive_.empty()) return;
        product_.RemoveRegistration();
        // Empties the drive for the next case.
        RunProgram("cmd /c rd /s /q \"" + drive_ + "\\Morvane\"");
    }

    std::vector<TPackageFile> Files(std::size_t count, std::size_t size, unsigned seed) const
    {
        std::vector<TPackageFile> files = {{"Morvane.exe", MakeTestBytes(20000, false, seed), true, false}};
        for (std::size_t i = 0; i < count; ++i)
            files.push_back({"Data\\part" + std::to_string(i) + ".bin",
                             MakeTestBytes(size, false, seed + 1 + static_cast<unsigned>(i)), true, false});
        return files;
    }

    // Each target holds the bytes of one of the given versions, or is absent
    // where allowMissing; the name of the first that does not.
    std::string FirstCutFile(const std::vector<std::vector<TPackageFile>>& versions, bool allowMissing) const
    {
        for (std::size_t i = 0; i < versions[0].size(); ++i) {
            const std::string path = folder_ + "\\" + versions[0][i].Name;
            if (!PathExists(path)) {
                if (allowMissing) continue;
                return path + " (missing)";
            }
            const std::string bytes = ReadTestFile(path);
            bool whole = false;
            for (const auto& files : versions) whole = whole || bytes == files[i].Contents;
            if (!whole) return path + " (" + std::to_string(bytes.size()) + " bytes)";
        }
        return std::string();
    }

    static int counter_;
    TempDir dir_;
    std::string drive_, folder_;
    TProduct product_;
};

int FullDiskTest::counter_ = 0;

} // namespace

TEST_F(FullDiskTest, AnInstallationThatDoesNotFitEndsWithAWriteErrorAndNoCutFile)
{
    folder_ = drive_ + "\\Morvane";
    product_.Files = Files(10, 300000, 100); // 3 MB on a 2 MB drive
    product_.Build(dir_.File("Setup.exe"), folder_);
    DeleteFileA(LogFileName);
    const TRunResult run = RunProgram(product_.InstallCommand(folder_));
    EXPECT_EQ(run.ExitCode, 5u) << "disk full: " << run.StandardError;
    // The drive's room is checked before the first write: nothing is written,
    // and the first file that would go there is named.
    EXPECT_NE(run.StandardError.find("Write Error: " + folder_ + "\\Morvane.exe"), std::string::npos)
        << run.StandardError;
    for (const TPackageFile& file : product_.Files) EXPECT_FALSE(PathExists(folder_ + "\\" + file.Name)) << file.Name;
    EXPECT_EQ(TemporaryLeftovers(folder_), std::vector<std::string>());
    const std::string log = ReadTestFile(LogFileName);
    EXPECT_NE(log.find("Errors: Write Error: " + folder_), std::string::npos) << "the log: " << log;
}

TEST_F(FullDiskTest, AReinstallThatDoesNotFitKeepsEveryEarlierFileWhole)
{
    folder_ = drive_ + "\\Morvane";
    const std::vector<TPackageFile> first = Files(4, 150000, 200); // fits, with the uninstaller
    product_.Files = first;
    product_.Build(dir_.File("Setup1.exe"), folder_);
    TRunResult run = RunProgram(product_.InstallCommand(folder_));
    ASSERT_EQ(run.ExitCode, 0u) << run.StandardError;
    const std::string uninstaller = ReadTestFile(folder_ + "\\uninstall.exe");

    const std::vector<TPackageFile> second = Files(4, 450000, 300); // each new file needs room beside the old
    product_.Files = second;
    product_.Build(dir_.File("Setup2.exe"), folder_);
    run = RunProgram(product_.InstallCommand(folder_));
    EXPECT_EQ(run.ExitCode, 5u) << "disk full: " << run.StandardError;
    EXPECT_NE(run.StandardError.find("Write Error: " + folder_), std::string::npos) << run.StandardError;
    EXPECT_EQ(FirstCutFile({first, second}, false), "") << "an earlier file was cut";
    EXPECT_EQ(TemporaryLeftovers(folder_), std::vector<std::string>());
    const std::string after = ReadTestFile(folder_ + "\\uninstall.exe");
    EXPECT_TRUE(after == uninstaller || after.size() > uninstaller.size())
        << "the uninstaller was cut: " << after.size() << " bytes";
}

TEST_F(FullDiskTest, InTheWindowARunThatDoesNotFitEndsInTheErrorMessageAndCutsNothing)
{
    folder_ = drive_ + "\\Morvane";
    product_.Files = Files(10, 300000, 400);
    product_.Build(dir_.File("Setup.exe"), folder_, DemoLanguageFile());
    DeleteFileA(LogFileName);
    {
        Child setup(product_.Installer);
        HWND window = OpenInstallQuestion(setup, "LngEnglishRadio", folder_);
        ASSERT_NE(window, nullptr) << DescribeWindows(setup);
        PostClick(FindComponent(window, "StartBtn"));
        HWND message = MessageDialog(setup);
        ASSERT_NE(message, nullptr) << DescribeWindows(setup);
        EXPECT_EQ(MessageText(message), "An error has occurred.\r\nSetup will be cancelled.");
        PostClick(FindComponent(message, MessageOkName));
        EXPECT_EQ(setup.WaitForExit(), 0u) << "the window closes";
    }
    EXPECT_EQ(FirstCutFile({product_.Files}, true), "");
    EXPECT_EQ(TemporaryLeftovers(folder_), std::vector<std::string>());
    const std::string log = ReadTestFile(LogFileName);
    EXPECT_NE(log.find("Errors: Write Error: " + folder_), std::string::npos) << "the log: " << log;
}
