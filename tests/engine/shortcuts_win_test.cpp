#include "engine/shortcuts.h"

#include <windows.h>
#include <objbase.h>
#include <objidl.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include "engine/commands.h"
#include "engine/engine_state.h"
#include "support/test_support.h"

namespace {

struct TLinkContents {
    bool Loaded = false;
    std::string Target, Arguments, WorkingFolder;
};

TLinkContents ReadLink(const std::string& path)
{
    TLinkContents contents;
    IShellLinkA* link = nullptr;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                reinterpret_cast<void**>(&link))))
        return contents;
    IPersistFile* file = nullptr;
    if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
        const std::wstring widePath(path.begin(), path.end());
        if (SUCCEEDED(file->Load(widePath.c_str(), STGM_READ))) {
            char text[MAX_PATH * 2] = {};
            link->GetPath(text, sizeof(text), nullptr, SLGP_RAWPATH);
            contents.Target = text;
            text[0] = 0;
            link->GetArguments(text, sizeof(text));
            contents.Arguments = text;
            text[0] = 0;
            link->GetWorkingDirectory(text, sizeof(text));
            contents.WorkingFolder = text;
            contents.Loaded = true;
        }
        file->Release();
    }
    link->Release();
    return contents;
}

bool Exists(const std::string& path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

class ShortcutsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        CoInitialize(nullptr);
        ResetEngineState();
        Engine.QuietErrors = true;
        Engine.PgmPath = dir_.File("P") + "\\";
        Engine.MyStartMenu = dir_.File("Start Menu\\Morvane") + "\\";
        CreateDirectoryA(dir_.File("P").c_str(), nullptr);
        WriteTestFile(dir_.File("P\\Start.exe"), "MZ");
    }
    void TearDown() override
    {
        ResetEngineState();
        CoUninitialize();
    }
    TempDir dir_;
};

} // namespace

TEST_F(ShortcutsTest, IconCommandCreatesTheLinkWithTargetArgumentsAndWorkingFolder)
{
    IconCommand(SplitCommaText("action=icon,file=*PgmPath*\\Start.exe,\"lnk=*MyStartMenu*\\Brumo Morvane\","
                               "\"param=*PgmPath* /x\""));
    const std::string recorded = dir_.File("Start Menu\\Morvane") + "\\\\Brumo Morvane.lnk";
    ASSERT_EQ(Engine.WrittenFiles, std::vector<std::string>{recorded})
        << "\".lnk\" appended; the path recorded as built, with the doubled backslash";
    EXPECT_EQ(Engine.CreatedFolders, std::vector<std::string>{dir_.File("Start Menu\\Morvane")});
    const TLinkContents link = ReadLink(dir_.File("Start Menu\\Morvane\\Brumo Morvane.lnk"));
    ASSERT_TRUE(link.Loaded) << "no shortcut file";
    EXPECT_EQ(link.Target, dir_.File("P\\Start.exe"));
    EXPECT_EQ(link.Arguments, "*PgmPath* /x") << "arguments are stored unexpanded";
    EXPECT_EQ(link.WorkingFolder, dir_.File("P") + "\\") << "the target's folder, final backslash included";

    Engine.WrittenFiles.clear();
    IconCommand(SplitCommaText("action=icon,file=*PgmPath*\\Start.exe,lnk=*MyStartMenu*\\Manual.LNK"));
    EXPECT_EQ(Engine.WrittenFiles, std::vector<std::string>{dir_.File("Start Menu\\Morvane") + "\\\\Manual.LNK"})
        << "an extension in other letter case is not appended again";
    EXPECT_TRUE(ReadLink(dir_.File("Start Menu\\Morvane\\Manual.LNK")).Loaded);
}

TEST_F(ShortcutsTest, DesktopLinksOnlyWhenWanted)
{
    IconCommand(SplitCommaText("action=icon,file=*PgmPath*\\Start.exe,\"lnk=*Desktop*\\Morvane.lnk\""));
    EXPECT_TRUE(Engine.WrittenFiles.empty()) << "desktop links are skipped while CreateDesktopLinks is off";
    EXPECT_TRUE(Engine.CreatedFolders.empty());
    EXPECT_EQ(Engine.ErrorText, "");
}

TEST_F(ShortcutsTest, AdministratorProfileBecomesAllUsers)
{
    const std::string folder = dir_.File("Administrator\\Links") + "\\";
    CreateShortcut(dir_.File("P\\Start.exe"), "", folder, true, "M.lnk");
    const std::string allUsers = dir_.File("All Users\\Links");
    EXPECT_EQ(Engine.WrittenFiles, std::vector<std::string>{allUsers + "\\\\M.lnk"});
    EXPECT_TRUE(ReadLink(allUsers + "\\M.lnk").Loaded);
    EXPECT_FALSE(Exists(dir_.File("Administrator"))) << "nothing is created in the administrator's profile";

    Engine.WrittenFiles.clear();
    CreateShortcut(dir_.File("P\\Start.exe"), "", folder, false, "M.lnk");
    EXPECT_EQ(Engine.WrittenFiles, std::vector<std::string>{folder + "\\M.lnk"}) << "no substitution when not asked";
}

TEST_F(ShortcutsTest, FolderIconTextAttributesAndRewrite)
{
    LoadLibraryA("shlwapi.dll"); // the folder icon needs the shell library the program has loaded
    const std::string folder = dir_.File("Icons") + "\\";
    CreateDirectoryA(folder.c_str(), nullptr);
    const std::string icon = dir_.File("P\\Folder.ico");

    DesktopIniCommand(SplitCommaText("action=desktopini,path=" + folder + ",icon=" + icon));
    EXPECT_FALSE(Exists(folder + "Desktop.ini")) << "no Desktop.ini while the icon file is missing";
    EXPECT_TRUE(Engine.WrittenFiles.empty());

    WriteTestFile(icon, "icon");
    DesktopIniCommand(SplitCommaText("action=desktopini,path=" + folder + ",icon=" + icon));
    const std::string ini = folder + "Desktop.ini";
    EXPECT_EQ(ReadTestFile(ini), "[.ShellClassInfo]\r\nIconFile=" + icon + "\r\nIconIndex=0\r\n");
    EXPECT_EQ(Engine.WrittenFiles, std::vector<std::string>{ini});
    const DWORD attributes = GetFileAttributesA(ini.c_str());
    EXPECT_EQ(attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM), DWORD(FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM))
        << std::hex << attributes;
    EXPECT_NE(GetFileAttributesA(dir_.File("Icons").c_str()) & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_SYSTEM), 0u)
        << "the folder is marked for the shell";

    WriteFolderIcon(folder, "C:\\Other.ico");
    EXPECT_EQ(ReadTestFile(ini), "[.ShellClassInfo]\r\nIconFile=C:\\Other.ico\r\nIconIndex=0\r\n")
        << "a hidden Desktop.ini of an earlier installation is written again";
    EXPECT_EQ(Engine.WrittenFiles.size(), 2u) << "and recorded for the uninstall";
    SetFileAttributesA(ini.c_str(), FILE_ATTRIBUTE_NORMAL);
    SetFileAttributesA(dir_.File("Icons").c_str(), FILE_ATTRIBUTE_NORMAL);
}
