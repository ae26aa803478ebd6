// Drives the real Setup.exe from this second process: installers and
// uninstallers are made from the built program with the demo package's
// language file, started (under the locale of the run), and their windows are found
// by the component names they carry, clicked, read and photographed.
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <direct.h>
#include <functional>
#include <string>
#include <vector>

#include "app/component_names_win.h"
#include "app/message_dialogs_win.h"
#include "container/sections.h"
#include "container/zlib_wrapper.h"
#include "support/test_support.h"
#include "window_driver_win.h"

namespace {

const char RegistryKey[] = "SOFTWARE\\Brumo\\MorvaneGuiTest";

std::string OwnFolder()
{
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder = path;
    return folder.substr(0, folder.find_last_of('\\') + 1);
}

std::string SetupImage()
{
    const std::string program = ReadTestFile(OwnFolder() + "..\\..\\src\\app\\Setup.exe");
    std::string image, sections;
    SplitAtBeginMarker(program, image, sections);
    return image;
}

std::string DemoLanguageFile()
{
    const char* source = std::getenv("SETUP_SOURCE_DIR");
    return ReadTestFile(std::string(source ? source : ".") + "/examples/morvane/Setup.lng");
}

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
std::string MakeInstaller(const std::string& languageText)
{
    const std::string script = "action=path,PgmPath=*Programs*\\Morvane\\,Registry=Brumo\\MorvaneGuiTest,"
                               "Version=2012-01,\"MyStartMenu=*StartMenu*\\Morvane\\\"\r\n"
                               "action=save,OrigLen=" + std::to_string(sizeof ReadmeText - 1) +
                               ",Filename=*PgmPath*\\readme.txt\r\n";
    return SetupImage() + MakeSection(SectionBeginningMark, "") + MakeSection(SectionSetupLng, languageText) +
           MakeSection(SectionSetupCmd, CompressString(script, LevelDefault)) +
           MakeSection(SectionSetupBin, CompressString(ReadmeText, LevelDefault));
}

std::string MakeUninstaller(const std::string& listSection)
{
    return SetupImage() + MakeSection(SectionBeginningMark, "") + MakeSection(SectionSetupLng, DemoLanguageFile()) +
           MakeSection(SectionUninst, listSection);
}

// A started program, ended when the test leaves it running.
class Child {
public:
    explicit Child(const std::string& program, const std::string& arguments = "")
    {
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        std::string commandLine = "\"" + program + "\"" + (arguments.empty() ? "" : " " + arguments);
        started_ = CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                                  &process_) != FALSE;
    }
    ~Child()
    {
        if (!started_) return;
        if (WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT) {
            TerminateProcess(process_.hProcess, 1);
            WaitForSingleObject(process_.hProcess, 10000);
        }
        CloseHandle(process_.hThread);
        CloseHandle(process_.hProcess);
    }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    bool Started() const { return started_; }
    DWORD Id() const { return process_.dwProcessId; }
    // Waits (at most a minute) for the end; the exit code, or ~0 when still running.
    DWORD WaitForExit()
    {
        if (WaitForSingleObject(process_.hProcess, 60000) != WAIT_OBJECT_0) return ~0u;
        DWORD code = ~0u;
        GetExitCodeProcess(process_.hProcess, &code);
        return code;
    }

private:
    PROCESS_INFORMATION process_{};
    bool started_ = false;
};

// Polls until find gives a window; gives up after a minute (a loaded machine
// starts Wine programs slowly), so a window that never comes fails the test.
HWND WaitFor(const std::function<HWND()>& find)
{
    for (int attempt = 0; attempt < 1200; ++attempt) {
        if (HWND window = find()) return window;
        Sleep(50);
    }
    return nullptr;
}

struct TopSearch {
    DWORD process;
    std::string className;
    std::string title;
    std::string componentName;
    HWND found;
};

BOOL CALLBACK MatchTop(HWND window, LPARAM data)
{
    auto* search = reinterpret_cast<TopSearch*>(data);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process != search->process || !IsWindowVisible(window)) return TRUE;
    char className[64] = {};
    GetClassNameA(window, className, sizeof className);
    if (!search->className.empty() && search->className != className) return TRUE;
    if (!search->componentName.empty() && ComponentName(window) != search->componentName) return TRUE;
    if (!search->title.empty()) {
        char title[128] = {};
        GetWindowTextA(window, title, sizeof title);
        if (search->title != title) return TRUE;
    }
    search->found = window;
    return FALSE;
}

HWND TopWindow(DWORD process, const std::string& className, const std::string& componentName = "",
               const std::string& title = "")
{
    TopSearch search{process, className, title, componentName, nullptr};
    EnumWindows(MatchTop, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

BOOL CALLBACK DescribeTop(HWND window, LPARAM data)
{
    auto* search = reinterpret_cast<std::pair<DWORD, std::string>*>(data);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process != search->first) return TRUE;
    char className[64] = {}, title[256] = {};
    GetClassNameA(window, className, sizeof className);
    GetWindowTextA(window, title, sizeof title);
    search->second += std::string(" [") + className + " \"" + title + "\" " + ComponentName(window) +
                      (IsWindowVisible(window) ? " visible" : " hidden");
    if (HWND text = FindComponent(window, MessageTextName)) {
        GetWindowTextA(text, title, sizeof title);
        search->second += std::string(" text \"") + title + "\"";
    }
    search->second += "]";
    return TRUE;
}

// The child's top-level windows, for failure messages.
std::string DescribeWindows(const Child& child)
{
    std::pair<DWORD, std::string> search{child.Id(), ""};
    EnumWindows(DescribeTop, reinterpret_cast<LPARAM>(&search));
    return search.second.empty() ? " no windows" : search.second;
}

HWND MainWindow(const Child& child)
{
    return WaitFor([&] { return TopWindow(child.Id(), "TBvSetupForm1"); });
}

// A component of the window once it is visible.
HWND Visible(HWND window, const std::string& name)
{
    return WaitFor([&]() -> HWND {
        HWND component = FindComponent(window, name);
        return component && IsWindowVisible(component) ? component : nullptr;
    });
}

// GetWindowText cannot read an edit field of another process; the message can.
std::string Text(HWND window)
{
    char text[1024] = {};
    DWORD_PTR copied = 0;
    SendMessageTimeoutA(window, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text), SMTO_NORMAL, 10000, &copied);
    return text;
}

bool PathFileExists(const std::string& path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool Checked(HWND window)
{
    return SendMessageA(window, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void SetText(HWND window, const std::string& text)
{
    DWORD_PTR result = 0;
    SendMessageTimeoutA(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()), SMTO_NORMAL, 10000, &result);
}

void Click(HWND window)
{
    DWORD_PTR result = 0;
    SendMessageTimeoutA(window, BM_CLICK, 0, 0, SMTO_NORMAL, 10000, &result);
}

// Waits until the window's thread has handled what it was sent and painted.
void Settle(HWND window)
{
    DWORD_PTR result = 0;
    SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_NORMAL, 10000, &result);
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_NORMAL, 10000, &result);
}

void Shot(HWND window, const std::string& name)
{
    Settle(window);
    SaveWindowShot(window, name);
}

// The panel is centred in the window's client area.
void ExpectCentred(HWND window, HWND panel, const std::string& where)
{
    RECT client;
    GetClientRect(window, &client);
    const RECT rect = RectInParent(panel);
    EXPECT_EQ(rect.left, (client.right - (rect.right - rect.left)) / 2) << where;
    EXPECT_EQ(rect.top, (client.bottom - (rect.bottom - rect.top)) / 2) << where;
}

// The product's values: the tests write the user's, a finished installation
// the machine's (always in the 32-bit view).
void DeleteTestRegistry()
{
    RegDeleteTreeA(HKEY_CURRENT_USER, RegistryKey);
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, RegistryKey, 0, KEY_ALL_ACCESS | KEY_WOW64_32KEY, &key) == ERROR_SUCCESS) {
        RegDeleteTreeA(key, nullptr);
        RegCloseKey(key);
        RegDeleteKeyExA(HKEY_LOCAL_MACHINE, RegistryKey, KEY_WOW64_32KEY, 0);
    }
}

class SetupWindows : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        if (!std::getenv("SETUP_SCREENSHOT_DIR")) {
            _mkdir("screenshots");
            _putenv_s("SETUP_SCREENSHOT_DIR", "screenshots");
        }
    }
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
    const std::string installer = Write("Setup.exe", MakeInstaller(DemoLanguageFile()));
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
    const std::string installer = Write("Setup.exe", MakeInstaller(WithoutLanguage(DemoLanguageFile(), "IT")));
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
    const std::string installer = Write("Setup.exe", MakeInstaller(DemoLanguageFile()));
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
    HWND question = WaitFor([&] { return TopWindow(setup.Id(), "", MessageDialogName); });
    ASSERT_NE(question, nullptr) << "the newer-version question";
    EXPECT_EQ(Text(question), "Best\xE4tigung");
    const std::string text = Text(FindComponent(question, MessageTextName));
    EXPECT_NE(text.find("newer version"), std::string::npos) << text;
    EXPECT_NE(FindComponent(question, MessageYesName), nullptr);
    Shot(question, "NewerVersionQuestion_EN");
    Click(FindComponent(question, MessageNoName));
    EXPECT_EQ(setup.WaitForExit(), 0u) << "No closes the window";
}

TEST_F(SetupWindows, ASecondCopyShowsTheDoubleStartMessageAndEnds)
{
    const std::string installer = Write("Setup.exe", MakeInstaller(DemoLanguageFile()));
    const std::string uninstaller =
        Write("uninstall.exe", MakeUninstaller(CompressString("UninstallKey=MorvaneGuiTest\r\nLng=EN\r\n", LevelDefault)));
    Child first(installer);
    HWND window = MainWindow(first);
    ASSERT_NE(window, nullptr);
    for (const std::string& program : {installer, uninstaller}) {
        Child second(program);
        HWND message = WaitFor([&] { return TopWindow(second.Id(), "", MessageDialogName); });
        ASSERT_NE(message, nullptr) << program;
        EXPECT_EQ(Text(message), "Fehler");
        EXPECT_EQ(Text(FindComponent(message, MessageTextName)),
                  "Doppelstart: Es wurde ein anderes laufendes Setup gefunden.");
        EXPECT_EQ(TopWindow(second.Id(), "TBvSetupForm1"), nullptr) << "no main window of its own";
        Click(FindComponent(message, MessageOkName));
        EXPECT_EQ(second.WaitForExit(), 0u);
    }
    EXPECT_TRUE(IsWindow(window)) << "the first copy goes on";
    PostMessageA(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(first.WaitForExit(), 0u);
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

// The user's start-up folder, where the product may leave a reminder shortcut.
std::string StartupFolder()
{
    char path[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathA(nullptr, CSIDL_STARTUP | CSIDL_FLAG_CREATE, nullptr, 0, path))) return "";
    return path;
}

TEST_F(SetupWindows, RemoveDeletesTheListedFilesAndTheReminderInTheListsLanguage)
{
    const std::string program = folder_.File("Morvane");
    CreateDirectoryA(program.c_str(), nullptr);
    Write("Morvane\\Morvane.exe", "program");
    Write("Morvane\\Keys.ada", "the user's data");
    const std::string startup = StartupFolder();
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
        EXPECT_TRUE(PathFileExists(program + "\\Morvane.exe")) << "the close box removes nothing";
        EXPECT_TRUE(PathFileExists(english));
    }

    Child setup(uninstaller);
    HWND window = MainWindow(setup);
    ASSERT_NE(window, nullptr) << DescribeWindows(setup);
    ASSERT_NE(Visible(window, "UninstAskPanel"), nullptr);
    Click(FindComponent(window, "UninstStartBtn"));
    EXPECT_EQ(setup.WaitForExit(), 0u) << "the window closes after the removal, without a message";
    EXPECT_FALSE(PathFileExists(program + "\\Morvane.exe"));
    EXPECT_TRUE(PathFileExists(program + "\\Keys.ada")) << "data files stay";
    EXPECT_FALSE(PathFileExists(english)) << "the reminder in the list's language is deleted";
    EXPECT_TRUE(PathFileExists(german)) << "only that one";
    DeleteFileA(german.c_str());
}

TEST_F(SetupWindows, ACorruptUninstallListEndsInTheErrorDisplayAndAWindowWithoutPanel)
{
    const std::string uninstaller = Write("uninstall.exe", MakeUninstaller("\x78\x9C this is no zlib stream"));
    Child setup(uninstaller);
    HWND box = WaitFor([&] { return TopWindow(setup.Id(), "#32770", "", "Setup"); });
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
    const std::string installer = Write("Setup.exe", MakeInstaller(DemoLanguageFile()));
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

    for (const std::string& refused : {std::string("D:"), std::string("Morvane"), std::string("   ")}) {
        SetText(edit, refused);
        PostMessageA(FindComponent(window, "StartBtn"), BM_CLICK, 0, 0);
        HWND message = WaitFor([&] { return TopWindow(setup.Id(), "", MessageDialogName); });
        ASSERT_NE(message, nullptr) << refused;
        EXPECT_EQ(Text(message), "Fehler");
        EXPECT_EQ(Text(FindComponent(message, MessageTextName)), "The folder you entered cannot be used.") << refused;
        Click(FindComponent(message, MessageOkName));
        Settle(window);
        EXPECT_TRUE(IsWindowVisible(FindComponent(window, "AskPanel"))) << "the question stays";
        EXPECT_EQ(Text(edit), refused == "   " ? proposed : refused) << "an empty entry gets the proposal back";
    }

    SetText(edit, "  " + target + "  ");
    PostMessageA(FindComponent(window, "StartBtn"), BM_CLICK, 0, 0);
    HWND message = WaitFor([&] { return TopWindow(setup.Id(), "", MessageDialogName); });
    ASSERT_NE(message, nullptr);
    EXPECT_EQ(Text(message), "Informationen");
    EXPECT_EQ(Text(FindComponent(message, MessageTextName)), "The installation was completed successfully.");
    EXPECT_FALSE(IsWindowVisible(FindComponent(window, "AskPanel")));
    EXPECT_FALSE(IsWindowVisible(FindComponent(window, "ProgressPanel")));
    Click(FindComponent(message, MessageOkName));
    EXPECT_EQ(setup.WaitForExit(), 0u);
    EXPECT_EQ(ReadTestFile(target + "\\readme.txt"), ReadmeText) << "the script ran into the trimmed folder";
}

TEST_F(SetupWindows, EveryPanelInEveryLanguageIsPhotographed)
{
    const std::string installer = Write("Setup.exe", MakeInstaller(DemoLanguageFile()));
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
