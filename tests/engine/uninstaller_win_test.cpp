#include "engine/uninstaller.h"

#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include "container/sections.h"
#include "container/zlib_wrapper.h"
#include "engine/commands.h"
#include "engine/engine_state.h"
#include "support/registry_acl_win.h"
#include "support/test_support.h"
#include "util/win_handles.h"

namespace {

const std::string Image = "MZ the program image " + MakeTestBytes(2000, false, 11);

bool Exists(const std::string& path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

const char UninstallListKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

// An uninstall entry of this test process in the 32-bit view the program uses;
// its name, or empty when it could not be made.
std::string CreateUninstallEntry(const std::string& purpose)
{
    const std::string name = purpose + " " + std::to_string(GetCurrentProcessId());
    RegKey key;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, (UninstallListKey + name).c_str(), 0, nullptr, 0,
                        KEY_ALL_ACCESS | KEY_WOW64_32KEY, nullptr, key.receive(), nullptr) != ERROR_SUCCESS)
        return "";
    return name;
}

bool UninstallEntryExists(const std::string& name)
{
    RegKey key;
    return RegOpenKeyExA(HKEY_LOCAL_MACHINE, (UninstallListKey + name).c_str(), 0, KEY_READ | KEY_WOW64_32KEY,
                         key.receive()) == ERROR_SUCCESS;
}

class UninstallerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetEngineState();
        Engine.QuietErrors = true;
        installer_ = dir_.File("Setup.exe");
        WriteTestFile(installer_, Image + MakeSection(SectionBeginningMark, "") +
                                      MakeSection(SectionSetupCmd, CompressString("action=path", LevelDefault)));
        UseSectionsFile(installer_);
    }
    void TearDown() override
    {
        UseSectionsFile("");
        ResetEngineState();
    }

    TempDir dir_;
    std::string installer_;
};

} // namespace

TEST_F(UninstallerTest, BuildsImageSectionsAndList)
{
    LoadOwnSections();
    Engine.UninstallerPath = dir_.File("uninstall.exe");
    Engine.LanguageCode = "EN";
    Engine.LanguageFileText = std::string("\xFF\xFE" "D\0E\0=\0x\0", 10);
    Engine.UninstallInfo = {"UninstallKey=Morvane 2012-01-31 14.05.09", "Lng=DE"};
    Engine.WrittenFiles = {"D:\\P\\a.txt", "D:\\P\\b.ada"};
    Engine.CreatedFolders = {"D:\\P", "D:\\P\\Data"};
    BuildUninstaller();
    EXPECT_EQ(Engine.ErrorText, "");
    const std::string list = "UninstallKey=Morvane 2012-01-31 14.05.09\r\nLng=EN\r\n"
                             "file=D:\\P\\a.txt\r\nfile=D:\\P\\b.ada\r\ndir=D:\\P\\Data\r\ndir=D:\\P\r\n";
    EXPECT_EQ(ReadTestFile(Engine.UninstallerPath),
              Image + MakeSection(SectionBeginningMark, "") + MakeSection(SectionSetupLng, Engine.LanguageFileText) +
                  MakeSection(SectionUninst, CompressString(list, LevelDefault)))
        << "image, begin marker, language text, compressed list";
    EXPECT_EQ(Engine.WrittenFiles.back(), Engine.UninstallerPath) << "recorded after the list was built";
    EXPECT_EQ(Engine.UninstallInfo[1], "Lng=EN") << "the language line is replaced in place";

    UseSectionsFile(Engine.UninstallerPath);
    EXPECT_EQ(ReadUninstallList(),
              (std::vector<std::string>{"UninstallKey=Morvane 2012-01-31 14.05.09", "Lng=EN", "file=D:\\P\\a.txt",
                                        "file=D:\\P\\b.ada", "dir=D:\\P\\Data", "dir=D:\\P"}));
}

TEST_F(UninstallerTest, WithoutLanguageTextOrRegistration)
{
    LoadOwnSections();
    Engine.UninstallerPath = dir_.File("uninstall.exe");
    Engine.UninstallInfo = {"Lng=DE"};
    BuildUninstaller();
    EXPECT_EQ(ReadTestFile(Engine.UninstallerPath),
              Image + MakeSection(SectionBeginningMark, "") + MakeSection(SectionUninst, CompressString("", LevelDefault)))
        << "two sections; an empty language code removes the Lng line";

    Engine.UninstallerPath.clear();
    Engine.WrittenFiles.clear();
    BuildUninstaller();
    EXPECT_TRUE(Engine.WrittenFiles.empty()) << "nothing without an uninst command";
}

TEST_F(UninstallerTest, MissingListIsReportedAndCorruptListRaises)
{
    EXPECT_TRUE(ReadUninstallList().empty());
    EXPECT_EQ(Engine.ErrorText, "uninstall information not found; ");

    const std::string corrupt = dir_.File("corrupt.exe");
    WriteTestFile(corrupt, Image + MakeSection(SectionBeginningMark, "") + MakeSection(SectionUninst, "not zlib"));
    UseSectionsFile(corrupt);
    EXPECT_THROW(ReadUninstallList(), EZDecompressionError);

    // The list is read before the registration named on the command line goes.
    const std::string keyName = CreateUninstallEntry("SetupTestCorruptList");
    ASSERT_NE(keyName, "");
    Engine.CommandLineParams = {"/uninst", "UninstallKey=" + keyName};
    EXPECT_THROW(RunUninstall(), EZDecompressionError);
    EXPECT_TRUE(UninstallEntryExists(keyName)) << "a damaged list removes nothing, its registration included";
    RegDeleteKeyExA(HKEY_LOCAL_MACHINE, (UninstallListKey + keyName).c_str(), KEY_WOW64_32KEY, 0);
}

TEST_F(UninstallerTest, RunUninstallRemovesFilesFoldersAndEntry)
{
    const std::string root = dir_.File("P");
    const std::vector<std::string> folders = {root, root + "\\Data", root + "\\Help", root + "\\Help\\en"};
    for (const std::string& folder : folders) CreateDirectoryA(folder.c_str(), nullptr);
    const std::vector<std::string> files = {root + "\\Morvane.exe", root + "\\Data\\Data.ada", root + "\\Data\\a.txt",
                                            root + "\\Help\\en\\x.htm", root + "\\Help\\LOG.ALG"};
    for (const std::string& file : files) WriteTestFile(file, "content");

    const std::string keyName = CreateUninstallEntry("SetupTestUninstall");
    ASSERT_NE(keyName, "");

    LoadOwnSections();
    Engine.UninstallerPath = dir_.File("uninstall.exe");
    Engine.UninstallInfo = {"UninstallKey=" + keyName};
    Engine.WrittenFiles = files;
    Engine.CreatedFolders = folders; // already sorted
    BuildUninstaller();

    ResetEngineState();
    Engine.QuietErrors = true;
    Engine.CommandLineParams = {"/uninst", "UninstallKey=ab"};
    UseSectionsFile(dir_.File("uninstall.exe"));
    // A standard user cannot delete a machine-wide entry; here nobody may.
    ASSERT_TRUE(SetMachineKeyAccess(UninstallListKey + keyName, "D:(D;;SD;;;WD)(A;;KA;;;WD)"));
    EXPECT_FALSE(RunUninstall()) << "the entry cannot be deleted";
    ASSERT_TRUE(SetMachineKeyAccess(UninstallListKey + keyName, "D:(A;;KA;;;WD)"));
    for (const std::string& file : files) EXPECT_TRUE(Exists(file)) << "nothing removed: " << file;
    EXPECT_TRUE(UninstallEntryExists(keyName));
    {
        // A running program cannot be deleted; opened without sharing it cannot either.
        FileHandle inUse(CreateFileA(files[0].c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(inUse);
        EXPECT_FALSE(RunUninstall()) << "the main program cannot be deleted";
        for (const std::string& file : files) EXPECT_TRUE(Exists(file)) << "nothing removed: " << file;
        EXPECT_TRUE(UninstallEntryExists(keyName)) << "the registration stays with the program";
    }
    EXPECT_TRUE(RunUninstall());

    for (const std::string& file : {files[0], files[2], files[3]}) EXPECT_FALSE(Exists(file)) << file;
    EXPECT_TRUE(Exists(files[1])) << "the .ada data file stays";
    EXPECT_TRUE(Exists(files[4])) << "the .alg data file stays, whatever its letter case";
    EXPECT_FALSE(Exists(root + "\\Help\\en")) << "emptied folders go";
    EXPECT_TRUE(Exists(root + "\\Data")) << "a folder with a kept file stays";
    EXPECT_TRUE(Exists(root + "\\Help")) << "so does one with a kept file";
    EXPECT_TRUE(Exists(root));
    EXPECT_TRUE(Exists(dir_.File("uninstall.exe"))) << "written after its list was built, so not listed";
    EXPECT_FALSE(UninstallEntryExists(keyName))
        << "the list's entry is removed; the two-character name of the command line is ignored";
    EXPECT_EQ(Engine.ErrorText, "");
}

TEST_F(UninstallerTest, ExecCommandKeepsTheLaunchParameters)
{
    ExecCommand(SplitCommaText("action=exec,params=aftersetup"));
    EXPECT_EQ(Engine.LaunchParams, "aftersetup");
    ExecCommand(SplitCommaText("action=exec"));
    EXPECT_EQ(Engine.LaunchParams, "");
    EXPECT_FALSE(LaunchMainProgram()) << "nothing to start without a main program";

    Engine.MainProgram = "C:\\Programs\\Morvane\\Morvane.exe";
    EXPECT_EQ(LaunchCommandLine(), Engine.MainProgram) << "the bare path";
    ExecCommand(SplitCommaText("action=exec,params=aftersetup"));
    EXPECT_EQ(LaunchCommandLine(), "C:\\Programs\\Morvane\\Morvane.exe aftersetup");

    // In the usual program folder the program still gets the one argument.
    Engine.MainProgram = "C:\\Program Files (x86)\\Morvane\\Morvane.exe";
    const std::string ascii = LaunchCommandLine();
    const std::wstring commandLine(ascii.begin(), ascii.end());
    int count = 0;
    LocalMemory<LPWSTR> arguments;
    *arguments.receive() = CommandLineToArgvW(commandLine.c_str(), &count);
    ASSERT_NE(arguments.get(), nullptr) << ascii;
    ASSERT_EQ(count, 2) << ascii;
    const LPWSTR* argv = arguments.get();
    EXPECT_EQ(std::wstring(argv[0]), L"C:\\Program Files (x86)\\Morvane\\Morvane.exe");
    EXPECT_EQ(std::wstring(argv[1]), L"aftersetup");
}

TEST(ProtectedShellFolders, DesktopsAndStartMenusAreNeverRemoved)
{
    char path[MAX_PATH] = {};
    ASSERT_TRUE(SUCCEEDED(SHGetFolderPathA(nullptr, CSIDL_COMMON_DESKTOPDIRECTORY | CSIDL_FLAG_CREATE, nullptr, 0, path)));
    const std::string desktop = path;
    EXPECT_TRUE(IsProtectedShellFolder(desktop));
    EXPECT_TRUE(IsProtectedShellFolder(desktop + "\\")) << "a final backslash does not matter";
    std::string upper = desktop;
    CharUpperA(upper.data());
    EXPECT_TRUE(IsProtectedShellFolder(upper)) << "letter case does not matter";
    ASSERT_TRUE(SUCCEEDED(SHGetFolderPathA(nullptr, CSIDL_COMMON_PROGRAMS, nullptr, 0, path)));
    EXPECT_TRUE(IsProtectedShellFolder(path));
    TempDir dir;
    EXPECT_FALSE(IsProtectedShellFolder(dir.Path().string()));
    EXPECT_FALSE(IsProtectedShellFolder(std::string(path) + "\\Morvane")) << "a product's folder inside is not";
    EXPECT_FALSE(IsProtectedShellFolder(""));
}
