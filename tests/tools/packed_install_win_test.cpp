// Packages packed by mksetup and installed by the real Setup.exe in its
// unattended mode: the installed files must be the packed ones, byte for byte,
// and the demo product's settings file must name its form templates.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>

#include "mksetup/tool_commands.h"
#include "mksetup/tool_error.h"
#include "run_and_wait_win.h"
#include "support/test_support.h"
#include "util/win_handles.h"

namespace {

std::string BuiltSetupProgram()
{
    const char* source = std::getenv("SETUP_SOURCE_DIR");
    if (!source) return std::string();
    const char* target = sizeof(void*) == 8 ? "win64" : "win32";
    const std::filesystem::path setup = std::filesystem::path(source) / "dist" / target / "Setup.exe";
    return std::filesystem::exists(setup) ? setup.string() : std::string();
}

} // namespace

TEST(PackedInstall, SetupInstallsExactlyThePackedFiles)
{
    const std::string setup = BuiltSetupProgram();
    if (setup.empty()) GTEST_SKIP() << "no Setup.exe in dist/ yet (make builds it)";

    TempDir dir;
    std::filesystem::create_directories(dir.Path() / "files" / "Sub Folder");
    WriteTestFile(dir.File("files/a.txt"), MakeTestBytes(30000, true, 11));
    WriteTestFile(dir.File("files/b.bin"), MakeTestBytes(7000, false, 12));
    WriteTestFile(dir.File("files/Sub Folder/c, d.txt"), MakeTestBytes(900, true, 13));
    WriteTestFile(dir.File("files/e.ada"), MakeTestBytes(400, true, 14));
    // No program file and no uninst line: the run leaves nothing in the registry.
    WriteTestFile(dir.File("test.pkg"),
                  "action=path,PgmPath=*Programs*\\MksetupTest\\,Registry=Brumo\\MksetupTest,Version=1.0,Lng=EN\r\n"
                  "action=save,Source=files\\a.txt,Filename=*PgmPath*\\a.txt\r\n"
                  "action=save,Source=files\\b.bin,Filename=*PgmPath*\\Data\\b.bin\r\n"
                  "action=savedir,\"Source=files\\Sub Folder\",\"Filename=*PgmPath*\\Sub Folder\\\"\r\n"
                  "action=saveifnotexists,Source=files\\e.ada,Filename=*PgmPath*\\e.ada\r\n");
    std::ostringstream out, err;
    ASSERT_EQ(RunTool({"build", dir.File("test.pkg"), "-o", dir.File("Setup-Test.exe"), "--stub", setup}, out, err,
                      false),
              ExitOk)
        << err.str();

    const std::string target = dir.File("installed");
    EXPECT_EQ(RunAndWait("\"" + dir.File("Setup-Test.exe") + "\" /S \"/D=" + target + "\""), 0);
    const std::pair<const char*, const char*> files[] = {
        {"files/a.txt", "installed/a.txt"},
        {"files/b.bin", "installed/Data/b.bin"},
        {"files/Sub Folder/c, d.txt", "installed/Sub Folder/c, d.txt"},
        {"files/e.ada", "installed/e.ada"},
    };
    for (const auto& [source, installed] : files) {
        ASSERT_TRUE(std::filesystem::exists(dir.File(installed))) << installed;
        EXPECT_EQ(ReadTestFile(dir.File(installed)), ReadTestFile(dir.File(source))) << installed;
    }
}

TEST(PackedInstall, DemoProductsSettingsFileNamesItsFormTemplates)
{
    const std::string setup = BuiltSetupProgram();
    if (setup.empty()) GTEST_SKIP() << "no Setup.exe in dist/ yet (make builds it)";
    const std::filesystem::path root = std::getenv("SETUP_SOURCE_DIR");
    const std::filesystem::path programs = std::filesystem::path(setup).parent_path();
    if (!std::filesystem::exists(programs / "Morvane.exe") || !std::filesystem::exists(programs / "Start.exe"))
        GTEST_SKIP() << "the demo programs are not built yet";
    // The package names the programs of dist/win64.
    if (sizeof(void*) != 8) GTEST_SKIP() << "the demo package packs the 64-bit programs";

    TempDir dir;
    const std::filesystem::path demo = root / "examples" / "morvane";
    std::ostringstream out, err;
    ASSERT_EQ(RunTool({"build", (demo / "morvane.pkg").string(), "-o", dir.File("Setup-Morvane.exe"), "--stub", setup,
                       "--lang", (demo / "Setup.lng").string()},
                      out, err, false),
              ExitOk)
        << err.str();

    const std::string target = dir.File("installed");
    ASSERT_EQ(RunAndWait("\"" + dir.File("Setup-Morvane.exe") + "\" /S \"/D=" + target + "\" /LANG=EN /NODESKTOP"), 0);
    EXPECT_EQ(ReadTestFile(dir.File("installed/Morvane.ini")),
              "Lng=EN\r\n"
              "FormTemplate1=Templates\\Form1 Issuance.rtf\r\n"
              "FormTemplate2=Templates\\Form2 Return.rtf\r\n"
              "FormTemplate3=Templates\\Form3 Lost, Destruction.rtf\r\n"
              "FormTemplate5=Formulare\\Formular5 Zylinder Verlust, Vernichtung.rtf\r\n"
              "FormTemplate9=Templates\\HTML\\IssuanceOverview.htm\r\n")
        << "German and English templates installed: the English ones, and the German form 5";

    // Leaves the test prefix without the product's entry, shortcuts and values.
    EXPECT_EQ(RunAndWait("\"" + dir.File("installed\\uninstall.exe") + "\" /uninst /S"), 0);
    EXPECT_FALSE(std::filesystem::exists(dir.File("installed/Templates"))) << "the uninstall ran";
    HKEY opened = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Brumo", 0, KEY_ALL_ACCESS | KEY_WOW64_32KEY, &opened) ==
        ERROR_SUCCESS) {
        const RegKey brumo(opened);
        RegDeleteTreeA(opened, "Morvane");
    }
}
