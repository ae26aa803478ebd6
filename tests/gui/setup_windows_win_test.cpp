// Drives the real Setup.exe from this second process: installers and
// uninstallers are made from the built program with the demo package's
// language file, started (under the locale of the run), and their windows are found
// by the component names they carry, clicked, read and photographed.
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "app/component_names_win.h"
#include "app/message_dialogs_win.h"
#include "container/sections.h"
#include "container/zlib_wrapper.h"
#include "e2e_support_win.h"
#include "engine/one_setup.h"
#include "setup_driver_win.h"
#include "support/registry_acl_win.h"
#include "support/test_support.h"
#include "util/win_handles.h"
#include "window_driver_win.h"

namespace {

const char RegistryKey[] = "SOFTWARE\\Brumo\\MorvaneGuiTest";

// The language file without the lines of one language.
std::string WithoutLanguage(const std::string& text, const std::string& code)
{
    std::string result;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        end = end == std::string::npos ? text.size() : end + 1;
        const std::string line = text.substr(start, end - start);
        if (line.compare(0, code.size(), code) != 0) result += line;
        start = end;
    }
    return result;
}

const char ReadmeText[] = "Morvane test file\r\n";

// An installer whose script names its folders and saves one text file.
std::string ReadmeInstaller(const std::string& languageText)
{
    std::string payload;
    std::vector<std::string> script = {"action=path,PgmPath=*Programs*\\Morvane\\,Registry=Brumo\\MorvaneGuiTest,"
                                       "Version=2012-01,\"MyStartMenu=*StartMenu*\\Morvane\\\""};
    for (const std::string& line : SaveLines({{"readme.txt", ReadmeText}}, payload)) script.push_back(line);
    return MakeInstaller(script, payload, languageText);
}

std::string MakeUninstaller(const std::string& listSection)
{
    return SetupImage() + MakeSection(SectionBeginningMark, "") + MakeSection(SectionSetupLng, DemoLanguageFile()) +
           MakeSection(SectionUninst, listSection);
}

// The panel is centred in the window's client area. A window just shown may
// still be taking its zoomed size (Wine applies the X server's answer later)
// and centres its panel again on each resize; the client area and the panel
// are two readings, so they are read again until they agree or the bound ends.
void ExpectCentred(HWND window, HWND panel, const std::string& where)
{
    RECT client{};
    RECT rect{};
    const auto centred = [&]() -> HWND {
        Settle(window);
        GetClientRect(window, &client);
        rect = RectInParent(panel);
        const bool left = rect.left == (client.right - (rect.right - rect.left)) / 2;
        const bool top = rect.top == (client.bottom - (rect.bottom - rect.top)) / 2;
        return left && top ? panel : nullptr;
    };
    if (WaitFor(centred)) return;
    EXPECT_EQ(rect.left, (client.right - (rect.right - rect.left)) / 2) << where;
    EXPECT_EQ(rect.top, (client.bottom - (rect.bottom - rect.top)) / 2) << where;
}

// The product's values: the tests write the user's, a finished installation
// the machine's.
void DeleteTestRegistry()
{
    DeleteProductRegistry(RegistryKey);
}

class SetupWindows : public ::testing::Test {
protected:
    static void SetUpTestSuite() { EnsureScreenshotFolder(); }
    void SetUp() override { DeleteTestRegistry(); }
    void TearDown() override { DeleteTestRegistry(); }

    std::string Write(const std::string& name, const std::string& bytes)
    {
        const std::string path = folder_.File(name);
        WriteTestFile(path, bytes);
        return path;
    }

    TempDir folder_;
};

// The radio button a system of this language preselects.
const char* PreselectedRadio(unsigned primaryLanguage)
{
    switch (primaryLanguage) {
    case 0x07: return "LngGermanRadio";
    case 0x0A: return "LngESRadio";
    case 0x0C: return "LngFRRadio";
    case 0x0E: return "LngHURadio";
    case 0x10: return "LngITRadio";
    case 0x15: return "LngPLRadio";
    default: return "LngEnglishRadio";
    }
}

// Started programs share this process's system language (Wine takes it from
// LC_ALL of the whole run); the test runs under several locales, and
// SETUP_EXPECT_LANGUAGE, when set, makes sure the locale really took effect.
TEST_F(SetupWindows, LanguagePanelIsPreselectedFromTheSystemLanguage)
{
    const unsigned primary = GetSystemDefaultLangID() & 0x3FF;
    if (const char* expected = std::getenv("SETUP_EXPECT_LANGUAGE")) {
        ASSERT_EQ(primary, std::strtoul(expected, nullptr, 0)) << "the locale of this run did not take effect";
    }
    const std::string installer = Write("Setup.exe", ReadmeInstaller(DemoLanguageFile()));
    const std::string locale = "system language " + std::to_string(primary);
    const char* radio = PreselectedRadio(primary);
    {
        Child setup(installer);
        ASSERT_TRUE(setup.Started());
        HWND window = MainWindow(setup);
        ASSERT_NE(window, nullptr) << locale;
        HWND panel = Visible(window, "LngPanel");
        ASSERT_NE(panel, nullptr) << locale;
        Settle(window);
        ExpectCentred(window, panel, locale);
        EXPECT_TRUE(Checked(FindComponent(window, radio))) << locale << ": " << radio;
        for (const char* other : {"LngGermanRadio", "LngEnglishRadio", "LngESRadio", "LngFRRadio", "LngITRadio",
                                  "LngHURadio", "LngPLRadio"})
            if (std::string(other) != radio) {
                EXPECT_FALSE(Checked(FindComponent(window, other))) << other;
            }
        EXPECT_TRUE(IsZoomed(window)) << "the window opens zoomed";
        char title[64] = {};
        GetWindowTextA(window, title, sizeof title);
        EXPECT_EQ(std::string(title).rfind("Setup   ", 0), 0u) << title;
        PostMessageA(window, WM_CLOSE, 0, 0);
        EXPECT_EQ(setup.WaitForExit(), 0u) << locale;
    }
}

TEST_F(SetupWindows, EnglishRetranslatesAndAMissingLanguageMovesTheMarkBack)
{
    const std::string installer = Write("Setup.exe", ReadmeInstaller(WithoutLanguage(DemoLanguageFile(), "IT")));
    Child setup(installer);
    HWND window = MainWindow(setup);
    ASSERT_NE(window, nullptr);
    ASSERT_NE(Visible(window, "LngPanel"), nullptr);
    Click(FindComponent(window, "LngGermanRadio"));
    EXPECT_EQ(Text(FindComponent(window, "Button1")), "Abbrechen");
    Click(FindComponent(window, "LngEnglishRadio"));
    Settle(window);
    const std::pair<const char*, const char*> captions[] = {
        {"Button1", "Cancel"},           {"StartBtn", "Yes"},          {"NoBtn", "Cancel"},
        {"ChooseBtn", "Browse ..."},     {"Label8", "Program folder"}, {"Label4", "Start the installation?"},
        {"SetupTaskLabel", "Setup for"}, {"Label5", "Key Management"}, {"UninstStartBtn", "Remove"},
        {"CreateDesktopLinkCheck", "Create a shortcut on the desktop"},
        {"ProgressLabel", "Installation in progress - please wait ..."},
    };
    for (const auto& [name, caption] : captions) EXPECT_EQ(Text(FindComponent(window, name)), caption) << name;

    Click(FindComponent(window, "LngITRadio"));
    Settle(window);
    EXPECT_FALSE(Checked(FindComponent(window, "LngITRadio"))) << "the file has no Italian texts";
    EXPECT_TRUE(Checked(FindComponent(window, "LngEnglishRadio"))) << "the mark goes back to English";
    EXPECT_EQ(Text(FindComponent(window, "StartBtn")), "Yes");
    if ((GetSystemDefaultLangID() & 0x3FF) != 0x10 && (GetSystemDefaultLangID() & 0x3FF) != 0x0C) {
        EXPECT_EQ(Text(FindComponent(window, "ESLabel")), "Por favor elija su idioma de preferencia.")
            << "the panel's third line follows the current language, which stayed English";
    }
    Click(FindComponent(window, "Button1"));
    EXPECT_EQ(setup.WaitForExit(), 0u) << "Button1 closes the window and ends the program";
}

TEST_F(SetupWindows, InstallQuestionAndTheNewerVersionQuestion)
{
    const std::string installer = Write("Setup.exe", ReadmeInstaller(DemoLanguageFile()));
    {
        Child setup(installer);
        HWND window = MainWindow(setup);
        ASSERT_NE(window, nullptr);
        ASSERT_NE(Visible(window, "LngPanel"), nullptr);
        Click(FindComponent(window, "LngGermanRadio"));
        Click(FindComponent(window, "LngOkBtn"));
        HWND panel = Visible(window, "AskPanel");
        ASSERT_NE(panel, nullptr);
        Settle(window);
        ExpectCentred(window, panel, "AskPanel");
        EXPECT_FALSE(IsWindowVisible(FindComponent(window, "LngPanel")));
        EXPECT_EQ(Text(FindComponent(window, "VersionText")),
                  "Dieses Setup-Programm installiert Morvane (Version 2012-01) auf Ihrem Computer.");
        const std::string folder = Text(FindComponent(window, "PgmPathEd"));
        EXPECT_GT(folder.size(), std::string("\\Morvane\\").size());
        EXPECT_EQ(folder.substr(folder.size() - 9), "\\Morvane\\") << folder;
        EXPECT_EQ(folder.find('*'), std::string::npos) << "placeholders are expanded: " << folder;
        // Without a newer version registered no question comes.
        Sleep(600);
        EXPECT_EQ(TopWindow(setup.Id(), "", MessageDialogName), nullptr);
        Click(FindComponent(window, "NoBtn"));
        EXPECT_EQ(setup.WaitForExit(), 0u);
    }

    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, RegistryKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    const std::string version = "2099-01";
    RegSetValueExA(key, "Exec", 0, REG_SZ, reinterpret_cast<const BYTE*>(installer.c_str()),
                   static_cast<DWORD>(installer.size() + 1));
    RegSetValueExA(key, "Ver", 0, REG_SZ, reinterpret_cast<const BYTE*>(version.c_str()),
                   static_cast<DWORD>(version.size() + 1));
    RegCloseKey(key);

    Child setup(installer);
    HWND window = MainWindow(setup);
    ASSERT_NE(window, nullptr);
    ASSERT_NE(Visible(window, "LngPanel"), nullptr);
    Click(FindComponent(window, "LngEnglishRadio"));
    Click(FindComponent(window, "LngOkBtn"));
    HWND question = MessageDialog(setup);
    ASSERT_NE(question, nullptr) << "the newer-version question";
    EXPECT_EQ(Text(question), "Best\xE4tigung");
    const std::string text = MessageText(question);
    EXPECT_NE(text.find("newer version"), std::string::npos) << text;
    EXPECT_NE(FindComponent(question, MessageYesName), nullptr);
    Shot(question, "NewerVersionQuestion_EN");
    Click(FindComponent(question, MessageNoName));
    EXPECT_EQ(setup.WaitForExit(), 0u) << "No closes the window";
}

TEST_F(SetupWindows, ASecondCopyShowsTheDoubleStartMessageAndEnds)
{
    const std::string installer = Write("Setup.exe", ReadmeInstaller(DemoLanguageFile()));
    const std::string uninstaller =
        Write("uninstall.exe", MakeUninstaller(CompressString("UninstallKey=MorvaneGuiTest\r\nLng=EN\r\n", LevelDefault)));
    Child first(installer);
    HWND window = MainWindow(first);
    ASSERT_NE(window, nullptr);
    for (const std::string& program : {installer, uninstaller}) {
        Child second(program);
        HWND message = MessageDialog(second);
        ASSERT_NE(message, nullptr) << program << ":" << DescribeWindows(second) << "; the first copy:" << DescribeWindows(first);
        EXPECT_EQ(Text(message), "Fehler");
        EXPECT_EQ(MessageText(message),
                  "Doppelstart: Es wurde ein anderes laufendes Setup gefunden.");
        EXPECT_EQ(TopWindow(second.Id(), "TBvSetupForm1"), nullptr) << "no main window of its own";
        Click(FindComponent(message, MessageOkName));
        EXPECT_EQ(second.WaitForExit(), 0u);
    }
    EXPECT_TRUE(IsWindow(window)) << "the first copy goes on";
    PostMessageA(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(first.WaitForExit(), 0u);

    // A setup without a window (an unattended one) holds the mutex only.
    FileHandle held(CreateMutexA(nullptr, TRUE, OneSetupMutexName));
    ASSERT_TRUE(held);
    Child third(installer);
    HWND message = MessageDialog(third);
    ASSERT_NE(message, nullptr) << DescribeWindows(third);
    EXPECT_EQ(MessageText(message), "Doppelstart: Es wurde ein anderes laufendes Setup gefunden.");
    Click(FindComponent(message, MessageOkName));
    EXPECT_EQ(third.WaitForExit(), 0u);
    ReleaseMutex(held.get());
}

TEST_F(SetupWindows, UninstallerOpensOnTheRemovalQuestionInTheListsLanguage)
{
    const std::string uninstaller =
        Write("uninstall.exe", MakeUninstaller(CompressString("UninstallKey=MorvaneGuiTest\r\nLng=EN\r\n", LevelDefault)));
    Child setup(uninstaller);
    HWND window = MainWindow(setup);
    ASSERT_NE(window, nullptr);
    HWND panel = Visible(window, "UninstAskPanel");
    ASSERT_NE(panel, nullptr);
    Settle(window);
    ExpectCentred(window, panel, "UninstAskPanel");
    EXPECT_EQ(Text(FindComponent(window, "UninstallText")), "Do you want to remove the program Morvane from your computer?");
    EXPECT_EQ(Text(FindComponent(window, "UninstStartBtn")), "Remove");
    EXPECT_EQ(Text(FindComponent(window, "SetupTaskLabel")), "Uninstall");
    EXPECT_FALSE(IsWindowVisible(FindComponent(window, "LngPanel")));
    Click(FindComponent(window, "UninstNoBtn"));
    EXPECT_EQ(setup.WaitForExit(), 0u);
}

TEST_F(SetupWindows, RemoveDeletesTheListedFilesAndTheReminderInTheListsLanguage)
{
    const std::string program = folder_.File("Morvane");
    CreateDirectoryA(program.c_str(), nullptr);
    Write("Morvane\\Morvane.exe", "program");
    Write("Morvane\\Keys.ada", "the user's data");
    const std::string startup = ShellFolder(CSIDL_STARTUP);
    ASSERT_FALSE(startup.empty());
    const std::string english = startup + "\\Morvane Reminder.lnk";
    const std::string german = startup + "\\Morvane Erinnerung.lnk";
    WriteTestFile(english, "link");
    WriteTestFile(german, "link");
    const std::string list = "UninstallKey=MorvaneGuiTest\r\nLng=EN\r\nfile=" + program + "\\Morvane.exe\r\nfile=" +
                             program + "\\Keys.ada\r\ndir=" + program + "\r\n";
    const std::string uninstaller = Write("uninstall.exe", MakeUninstaller(CompressString(list, LevelDefault)));

    {
        Child setup(uninstaller);
        HWND window = MainWindow(setup);
        ASSERT_NE(window, nullptr) << DescribeWindows(setup);
        ASSERT_NE(Visible(window, "UninstAskPanel"), nullptr);
        PostMessageA(window, WM_CLOSE, 0, 0);
        EXPECT_EQ(setup.WaitForExit(), 0u);
        EXPECT_TRUE(PathExists(program + "\\Morvane.exe")) << "the close box removes nothing";
        EXPECT_TRUE(PathExists(english));
    }

    Child setup(uninstaller);
    HWND window = MainWindow(setup);
    ASSERT_NE(window, nullptr) << DescribeWindows(setup);
    ASSERT_NE(Visible(window, "UninstAskPanel"), nullptr);
    {
        // An entry this user may not delete (a standard user's case): nothing is removed.
        const std::string entry = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\MorvaneGuiTest";
        RegSetString(HKEY_LOCAL_MACHINE, entry, "DisplayName", "Morvane");
        ASSERT_TRUE(SetMachineKeyAccess(entry, "D:(D;;SD;;;WD)(A;;KA;;;WD)"));
        PostClick(FindComponent(window, "UninstStartBtn"));
        HWND message = MessageDialog(setup);
        SetMachineKeyAccess(entry, "D:(A;;KA;;;WD)");
        RegDeleteTreeAt(HKEY_LOCAL_MACHINE, entry);
        ASSERT_NE(message, nullptr) << DescribeWindows(setup);
        EXPECT_EQ(MessageText(message).rfind("You lack the rights to remove the program", 0), 0u) << MessageText(message);
        Click(FindComponent(message, MessageOkName));
        Settle(window);
        EXPECT_TRUE(IsWindowVisible(FindComponent(window, "UninstAskPanel")));
        EXPECT_TRUE(PathExists(program + "\\Morvane.exe"));
    }
    {
        // The program in use: nothing is removed, and the question stays for another try.
        FileHandle inUse(CreateFileA((program + "\\Morvane.exe").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0,
                                     nullptr));
        ASSERT_TRUE(inUse);
        PostClick(FindComponent(window, "UninstStartBtn"));
        HWND message = MessageDialog(setup);
        ASSERT_NE(message, nullptr) << DescribeWindows(setup);
        EXPECT_EQ(Text(message), "Fehler");
        EXPECT_EQ(MessageText(message).rfind("The installed program is either in use", 0), 0u) << MessageText(message);
        Click(FindComponent(message, MessageOkName));
        Settle(window);
        EXPECT_TRUE(IsWindowVisible(FindComponent(window, "UninstAskPanel")));
        EXPECT_TRUE(PathExists(english)) << "not even the reminder goes";
    }
    EXPECT_TRUE(PathExists(program + "\\Morvane.exe"));
    Click(FindComponent(window, "UninstStartBtn"));
    EXPECT_EQ(setup.WaitForExit(), 0u) << "the window closes after the removal, without a message";
    EXPECT_FALSE(PathExists(program + "\\Morvane.exe"));
    EXPECT_TRUE(PathExists(program + "\\Keys.ada")) << "data files stay";
    EXPECT_FALSE(PathExists(english)) << "the reminder in the list's language is deleted";
    EXPECT_TRUE(PathExists(german)) << "only that one";
    DeleteFileA(german.c_str());
}

TEST_F(SetupWindows, ACorruptUninstallListEndsInTheErrorDisplayAndAWindowWithoutPanel)
{
    const std::string uninstaller = Write("uninstall.exe", MakeUninstaller("\x78\x9C this is no zlib stream"));
    Child setup(uninstaller);
    HWND box = WaitForWindowOf(setup, [&] { return TopWindow(setup.Id(), "#32770", "", "Setup"); });
    ASSERT_NE(box, nullptr) << "the general error display";
    Shot(box, "GeneralError");
    Click(GetDlgItem(box, IDOK));
    HWND window = MainWindow(setup);
    ASSERT_NE(window, nullptr) << "the window is still shown";
    Settle(window);
    for (const char* panel : {"LngPanel", "AskPanel", "ProgressPanel", "UninstAskPanel"})
        EXPECT_FALSE(IsWindowVisible(FindComponent(window, panel))) << panel;
    Shot(window, "WindowWithoutPanel");
    PostMessageA(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(setup.WaitForExit(), 0u);
}

TEST_F(SetupWindows, StartRefusesBadFoldersThenInstallsAndReportsSuccess)
{
    const std::string installer = Write("Setup.exe", ReadmeInstaller(DemoLanguageFile()));
    const std::string target = folder_.File("Programme\\Morvane");
    Child setup(installer);
    HWND window = MainWindow(setup);
    ASSERT_NE(window, nullptr);
    ASSERT_NE(Visible(window, "LngPanel"), nullptr);
    Click(FindComponent(window, "LngEnglishRadio"));
    Click(FindComponent(window, "LngOkBtn"));
    ASSERT_NE(Visible(window, "AskPanel"), nullptr);
    HWND edit = FindComponent(window, "PgmPathEd");
    const std::string proposed = Text(edit);

    // A drive root, a drive, a relative name, a bare server name, nothing.
    for (const std::string refused : {"D:\\", "D:", "Morvane", "\\\\server", "   "}) {
        SetText(edit, refused);
        PostMessageA(FindComponent(window, "StartBtn"), BM_CLICK, 0, 0);
        HWND message = MessageDialog(setup);
        ASSERT_NE(message, nullptr) << refused;
        EXPECT_EQ(Text(message), "Fehler");
        EXPECT_EQ(MessageText(message), "The folder you entered cannot be used.") << refused;
        Click(FindComponent(message, MessageOkName));
        Settle(window);
        EXPECT_TRUE(IsWindowVisible(FindComponent(window, "AskPanel"))) << "the question stays";
        EXPECT_EQ(Text(edit), refused == "   " ? proposed : refused) << "an empty entry gets the proposal back";
    }

    SetText(edit, "  " + target + "  ");
    PostMessageA(FindComponent(window, "StartBtn"), BM_CLICK, 0, 0);
    HWND message = MessageDialog(setup);
    ASSERT_NE(message, nullptr);
    EXPECT_EQ(Text(message), "Informationen");
    EXPECT_EQ(MessageText(message), "The installation was completed successfully.");
    EXPECT_FALSE(IsWindowVisible(FindComponent(window, "AskPanel")));
    EXPECT_FALSE(IsWindowVisible(FindComponent(window, "ProgressPanel")));
    Click(FindComponent(message, MessageOkName));
    EXPECT_EQ(setup.WaitForExit(), 0u);
    EXPECT_EQ(ReadTestFile(target + "\\readme.txt"), ReadmeText) << "the script ran into the trimmed folder";
}

TEST_F(SetupWindows, EveryPanelInEveryLanguageIsPhotographed)
{
    const std::string installer = Write("Setup.exe", ReadmeInstaller(DemoLanguageFile()));
    struct Language {
        const char* code;
        const char* radio;
    };
    const Language languages[] = {
        {"DE", "LngGermanRadio"}, {"EN", "LngEnglishRadio"},
        {"ES", "LngESRadio"},     {"FR", "LngFRRadio"},
        {"IT", "LngITRadio"},     {"HU", "LngHURadio"},
        {"PL", "LngPLRadio"},
    };
    // Letters outside the system's code page show as their nearest relatives;
    // runs under a Central European locale photograph Hungarian and Polish
    // as their users see them, so the code page is part of each name.
    const std::string page = "_cp" + std::to_string(GetACP());
    for (const Language& language : languages) {
        {
            Child setup(installer);
            HWND window = MainWindow(setup);
            ASSERT_NE(window, nullptr) << language.code << DescribeWindows(setup);
            ASSERT_NE(Visible(window, "LngPanel"), nullptr);
            Click(FindComponent(window, language.radio));
            EXPECT_TRUE(Checked(FindComponent(window, language.radio))) << language.code;
            Shot(window, std::string("Setup_LngPanel_") + language.code + page);
            Click(FindComponent(window, "LngOkBtn"));
            ASSERT_NE(Visible(window, "AskPanel"), nullptr) << language.code;
            Shot(window, std::string("Setup_AskPanel_") + language.code + page);
            PostMessageA(window, WM_CLOSE, 0, 0);
            EXPECT_EQ(setup.WaitForExit(), 0u);
        }
        const std::string list = "UninstallKey=MorvaneGuiTest\r\nLng=" + std::string(language.code) + "\r\n";
        const std::string uninstaller =
            Write(std::string("uninstall_") + language.code + ".exe", MakeUninstaller(CompressString(list, LevelDefault)));
        Child setup(uninstaller, "/uninst");
        HWND window = MainWindow(setup);
        ASSERT_NE(window, nullptr) << language.code << DescribeWindows(setup);
        ASSERT_NE(Visible(window, "UninstAskPanel"), nullptr) << language.code;
        Shot(window, std::string("Setup_UninstAskPanel_") + language.code + page);
        PostMessageA(window, WM_CLOSE, 0, 0);
        EXPECT_EQ(setup.WaitForExit(), 0u);
    }
}

}  // namespace
