// Whole installations and removals through the real windows: the test packs
// the demo's main program (which records how it was started and the settings
// file it finds), form templates in both languages and enough small files for
// the progress panel to be seen, drives Setup.exe and the uninstaller it
// writes, and checks files, settings, registry, shortcuts and the started
// program. One installation and one removal are photographed step by step.
#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include "app/component_names_win.h"
#include "app/message_dialogs_win.h"
#include "e2e_support_win.h"
#include "engine/command_text.h"
#include "setup_driver_win.h"
#include "support/test_support.h"
#include "util/win_handles.h"
#include "window_driver_win.h"

namespace {

const char ProductName[] = "MorvaneGuiFlow";
const std::string ProductKey = "SOFTWARE\\Brumo\\MorvaneGuiFlow";
const std::string UninstallList = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
const char LogFile[] = "C:\\Setup.log";
const char RecordVariable[] = "MORVANE_LAUNCH_RECORD";

// Both languages' form templates, as the settings file names them.
const char* const GermanTemplates[] = {
    "Formulare\\Formular1 Ausgabe.rtf",
    "Formulare\\Formular2 Rueckgabe.rtf",
    "Formulare\\Formular3 Verlust, Vernichtung.rtf",
    "Formulare\\Formular5 Zylinder Verlust, Vernichtung.rtf",
    "Formulare\\HTML\\Ausleihuebersicht.htm",
};
const char* const EnglishTemplates[] = {
    "Templates\\Form1 Issuance.rtf",
    "Templates\\Form2 Return.rtf",
    "Templates\\Form3 Lost, Destruction.rtf",
    "Templates\\HTML\\IssuanceOverview.htm",
};

// What a first English installation writes when the persons dialog is
// answered with its fourth item: the English templates win where both exist.
const std::string FirstSettings = "Lng=EN\r\n"
                                  "FormTemplate1=Templates\\Form1 Issuance.rtf\r\n"
                                  "FormTemplate2=Templates\\Form2 Return.rtf\r\n"
                                  "FormTemplate3=Templates\\Form3 Lost, Destruction.rtf\r\n"
                                  "FormTemplate5=Formulare\\Formular5 Zylinder Verlust, Vernichtung.rtf\r\n"
                                  "FormTemplate9=Templates\\HTML\\IssuanceOverview.htm\r\n"
                                  "PersonsTerm=Kunden\r\n";

// Small pages, enough that writing and deleting them takes a moment.
constexpr int HelpPages = 300;

std::vector<TPackageFile> PackageFiles()
{
    std::vector<TPackageFile> files = {
        {"Morvane.exe", ReadTestFile(BuiltFile("examples\\morvane\\Morvane.exe")), true, false},
        {"System\\IconData.ico", "icon", false, false},
        {"Anleitung_MORVANE.pdf", "manual", false, false},
        {"DemoData\\Keys.ada", "the user's keys", false, true},
    };
    for (const char* name : GermanTemplates) files.push_back({name, std::string("Vorlage ") + name, false, false});
    for (const char* name : EnglishTemplates) files.push_back({name, std::string("template ") + name, false, false});
    for (int page = 0; page < HelpPages; ++page)
        files.push_back({"Help\\page" + std::to_string(page) + ".htm", MakeTestBytes(1500, true, page), false, false});
    return files;
}

// Every file below a folder, relative to it, in the order found.
void ListFiles(const std::string& folder, const std::string& prefix, std::set<std::string>& found)
{
    WIN32_FIND_DATAA entry;
    HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        const std::string name = entry.cFileName;
        if (name == "." || name == "..") continue;
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            ListFiles(folder + "\\" + name, prefix + name + "\\", found);
        else
            found.insert(prefix + name);
    } while (FindNextFileA(search, &entry));
    FindClose(search);
}

std::set<std::string> FilesBelow(const std::string& folder)
{
    std::set<std::string> found;
    ListFiles(folder, "", found);
    return found;
}

// The window that follows Start on a first installation: the persons dialog,
// else the message dialog.
HWND DialogAfterStart(const Child& setup)
{
    return WaitForWindowOf(setup, [&]() -> HWND {
        if (HWND persons = TopWindow(setup.Id(), "TPersonsForm")) return persons;
        return TopWindow(setup.Id(), "", MessageDialogName);
    });
}

// The product's own uninstall entries, test runs of every kind, its
// shortcuts, its log and its launch record are removed before and after each
// test, so that a failed test leaves nothing behind for the next.
class InstallFlow : public ::testing::Test {
protected:
    static void SetUpTestSuite() { EnsureScreenshotFolder(); }

    void SetUp() override
    {
        CoInitialize(nullptr);
        target_ = folder_.File("Program Files\\Morvane");
        record_ = folder_.File("launch.txt");
        desktopLink_ = ShellFolder(CSIDL_COMMON_DESKTOPDIRECTORY) + "\\" + ProductName + ".lnk";
        startMenu_ = ShellFolder(CSIDL_COMMON_PROGRAMS) + "\\" + ProductName;
        formerStartMenu_ = ShellFolder(CSIDL_COMMON_PROGRAMS) + "\\Brumo Morvane";
        formerDesktopLink_ = ShellFolder(CSIDL_COMMON_DESKTOPDIRECTORY) + "\\Brumo Morvane.lnk";
        reminder_ = ShellFolder(CSIDL_STARTUP) + "\\Morvane Reminder.lnk";
        RemoveTraces();
        SetEnvironmentVariableA(RecordVariable, record_.c_str());
    }
    void TearDown() override
    {
        SetEnvironmentVariableA(RecordVariable, nullptr);
        RemoveTraces();
        CoUninitialize();
    }

    void RemoveTraces()
    {
        DeleteProductRegistry(ProductKey);
        for (const std::string& entry : Entries()) RegDeleteTreeAt(HKEY_LOCAL_MACHINE, UninstallList + "\\" + entry);
        for (const std::string& file : {desktopLink_, StartMenuLink(), reminder_, std::string(LogFile),
                                        startMenu_ + "\\Former.lnk", formerStartMenu_ + "\\Former.lnk",
                                        formerDesktopLink_, renamedDesktopLink_})
            DeleteFileA(file.c_str());
        RemoveDirectoryA(startMenu_.c_str());
        RemoveDirectoryA(formerStartMenu_.c_str());
    }

    std::vector<std::string> Entries() const
    {
        std::vector<std::string> entries;
        const std::string prefix = std::string(ProductName) + " ";
        for (const std::string& subkey : RegSubkeys(HKEY_LOCAL_MACHINE, UninstallList))
            if (subkey.compare(0, prefix.size(), prefix) == 0) entries.push_back(subkey);
        return entries;
    }

    std::string StartMenuLink() const { return startMenu_ + "\\" + ProductName + ".lnk"; }
    std::string Program() const { return target_ + "\\Morvane.exe"; }
    std::string Settings() const { return target_ + "\\Morvane.ini"; }

    // Writes Setup.exe with the package's files between the given script lines.
    std::string WriteInstaller(const std::vector<std::string>& extraSaves = {})
    {
        std::string payload;
        std::vector<std::string> script = {
            "action=path," + QuoteItem(std::string("PgmPath=*Programs*\\") + ProductName + "\\") +
            ",Registry=Brumo\\" + ProductName + ",Version=2012-01," +
            QuoteItem(std::string("MyStartMenu=*StartMenu*\\") + ProductName + "\\")};
        for (const std::string& line : SaveLines(PackageFiles(), payload)) script.push_back(line);
        script.insert(script.end(), extraSaves.begin(), extraSaves.end());
        script.push_back("action=uninst,pgm=*PgmPath*\\uninstall.exe,param=/uninst," +
                         QuoteItem(std::string("name=") + ProductName));
        script.push_back("action=icon,file=*PgmPath*\\Morvane.exe," +
                         QuoteItem(std::string("lnk=*Desktop*\\") + ProductName + ".lnk"));
        script.push_back("action=icon,file=*PgmPath*\\Morvane.exe," +
                         QuoteItem(std::string("lnk=*MyStartMenu*\\") + ProductName + ".lnk"));
        script.push_back("action=exec,params=aftersetup");
        const std::string installer = folder_.File("Setup.exe");
        WriteTestFile(installer, MakeInstaller(script, payload, DemoLanguageFile()));
        return installer;
    }

    // Installs in English into the folder: the window, and the dialog that
    // follows Start; null when either does not come.
    HWND InstallInEnglish(Child& setup, const std::string& typedFolder, HWND& window)
    {
        window = OpenInstallQuestion(setup, "LngEnglishRadio", typedFolder);
        if (!window) return nullptr;
        PostClick(FindComponent(window, "StartBtn"));
        return DialogAfterStart(setup);
    }

    TempDir folder_;
    std::string target_, record_, desktopLink_, startMenu_, reminder_, formerStartMenu_, formerDesktopLink_;
    std::string renamedDesktopLink_;  // a link this test gave the product's former name
};

// Photographs the progress panel if it can be caught while the run goes on;
// the picture is the only purpose, so a run too quick to catch is no failure.
void ShootProgress(const Child& setup, HWND window, const std::string& name)
{
    for (int attempt = 0; attempt < 12000; ++attempt) {
        HWND panel = FindComponent(window, "ProgressPanel");
        if (panel && IsWindowVisible(panel)) {
            ShotOfBusyWindow(window, name, [&] { return IsWindowVisible(panel) != FALSE; });
            return;
        }
        if (TopWindow(setup.Id(), "TPersonsForm") || TopWindow(setup.Id(), "", MessageDialogName) ||
            !IsWindow(window))
            return;
        Sleep(5);
    }
}

TEST_F(InstallFlow, FirstInstallationThroughTheWindowThenASecondOneOverIt)
{
    const std::string installer = WriteInstaller();
    // Copies that older versions kept beside the program, now in System\.
    CreateDirectoryA(folder_.File("Program Files").c_str(), nullptr);
    CreateDirectoryA(target_.c_str(), nullptr);
    WriteTestFile(target_ + "\\IconData.ico", "older copy");
    WriteTestFile(target_ + "\\Anleitung.pdf", "former manual");
    // The start-menu folder and the desktop link of versions that named them
    // after the maker; the desktop link only where its new name is free.
    CreateDirectoryA(formerStartMenu_.c_str(), nullptr);
    WriteTestFile(formerStartMenu_ + "\\Former.lnk", "former start-menu link");
    const std::string newDesktopLink = ShellFolder(CSIDL_COMMON_DESKTOPDIRECTORY) + "\\Morvane.lnk";
    if (!PathExists(newDesktopLink)) {
        WriteTestFile(formerDesktopLink_, "former desktop link");
        renamedDesktopLink_ = newDesktopLink;
    }
    {
        Child setup(installer);
        HWND window = OpenInstallQuestion(setup, "LngEnglishRadio", "  " + target_ + "  ", "install_1_language");
        ASSERT_NE(window, nullptr) << DescribeWindows(setup);
        EXPECT_TRUE(Checked(FindComponent(window, "CreateDesktopLinkCheck"))) << "the desktop link is on at first";
        Shot(window, "install_2_question");
        PostClick(FindComponent(window, "StartBtn"));
        ShootProgress(setup, window, "install_3_progress");

        HWND persons = DialogAfterStart(setup);
        ASSERT_NE(persons, nullptr) << DescribeWindows(setup);
        ASSERT_EQ(ComponentName(persons), "PersonsForm") << "a first installation asks for the term"
                                                         << DescribeWindows(setup);
        HWND list = FindComponent(persons, "ListBox");
        ASSERT_EQ(ListCount(list), 5);
        EXPECT_EQ(ListItemText(list, 3), "Customers") << "the terms in the chosen language";
        SelectListItem(list, 3);
        Shot(window, "install_4_persons");
        PostClick(FindComponent(persons, "OkBtn"));

        HWND message = MessageDialog(setup);
        ASSERT_NE(message, nullptr) << DescribeWindows(setup);
        EXPECT_EQ(Text(message), "Informationen");
        EXPECT_EQ(MessageText(message), "The installation was successful.\r\nThe program will now be started.");
        EXPECT_FALSE(PathExists(record_)) << "the program starts after the message: " << ReadTestFile(record_);
        Shot(window, "install_5_success", message);
        PostClick(FindComponent(message, MessageOkName));
        EXPECT_EQ(setup.WaitForExit(), 0u);
        ASSERT_TRUE(setup.WaitForAllToEnd()) << "the started program ends by itself";
    }

    const std::string record = ReadTestFile(record_);
    EXPECT_NE(record.find("program=" + Program() + "\r\n"), std::string::npos) << record;
    EXPECT_NE(record.find("commandline=\"" + Program() + "\" aftersetup\r\n"), std::string::npos)
        << "a path with blanks is quoted: " << record;
    EXPECT_NE(record.find("argc=1\r\narg1=aftersetup\r\n"), std::string::npos) << record;
    EXPECT_NE(record.find("settingsfound=yes\r\n[settings]\r\n" + FirstSettings), std::string::npos)
        << "the settings are written before the program starts:\n" << record;
    EXPECT_EQ(ReadTestFile(Settings()), FirstSettings);
    EXPECT_EQ(RegString(HKEY_LOCAL_MACHINE, ProductKey, "Exec"), Program());
    EXPECT_EQ(Entries().size(), 1u) << "one uninstall entry";
    EXPECT_TRUE(PathExists(desktopLink_)) << desktopLink_;
    EXPECT_TRUE(PathExists(StartMenuLink())) << StartMenuLink();
    EXPECT_TRUE(PathExists(target_ + "\\uninstall.exe"));
    EXPECT_FALSE(PathExists(target_ + "\\IconData.ico")) << "the older copy beside System\\IconData.ico";
    EXPECT_FALSE(PathExists(target_ + "\\Anleitung.pdf")) << "the manual's former name";
    EXPECT_TRUE(PathExists(target_ + "\\System\\IconData.ico"));
    EXPECT_FALSE(PathExists(LogFile)) << "a run without errors writes no log";
    EXPECT_FALSE(PathExists(formerStartMenu_)) << "the former start-menu folder takes the new name";
    EXPECT_EQ(ReadTestFile(startMenu_ + "\\Former.lnk"), "former start-menu link");
    if (!renamedDesktopLink_.empty()) {
        EXPECT_FALSE(PathExists(formerDesktopLink_));
        EXPECT_EQ(ReadTestFile(renamedDesktopLink_), "former desktop link") << "the former desktop link is renamed";
    }

    // The program adds its own lines; a second installation keeps them.
    WriteTestFile(Settings(), FirstSettings + "Window=maximised\r\n");
    DeleteFileA(desktopLink_.c_str());
    DeleteFileA(record_.c_str());
    {
        Child setup(installer);
        HWND window = OpenInstallQuestion(setup, "LngGermanRadio", "");
        ASSERT_NE(window, nullptr) << DescribeWindows(setup);
        EXPECT_EQ(Text(FindComponent(window, "PgmPathEd")), target_ + "\\") << "the registered folder is proposed";
        SetChecked(FindComponent(window, "CreateDesktopLinkCheck"), false);
        PostClick(FindComponent(window, "StartBtn"));
        HWND message = DialogAfterStart(setup);
        ASSERT_NE(message, nullptr) << DescribeWindows(setup);
        ASSERT_EQ(ComponentName(message), MessageDialogName) << "no persons dialog over an existing settings file";
        EXPECT_EQ(MessageText(message), "Die Installation war erfolgreich.\r\nDas Programm wird nun gestartet.");
        EXPECT_FALSE(PathExists(record_)) << "the program starts after the message: " << ReadTestFile(record_);
        PostClick(FindComponent(message, MessageOkName));
        EXPECT_EQ(setup.WaitForExit(), 0u);
        ASSERT_TRUE(setup.WaitForAllToEnd());
    }
    std::string expected = FirstSettings + "Window=maximised\r\n";
    expected.replace(0, 6, "Lng=DE");
    EXPECT_EQ(ReadTestFile(Settings()), expected) << "only the language changes";
    EXPECT_NE(ReadTestFile(record_).find("arg1=aftersetup\r\n"), std::string::npos) << ReadTestFile(record_);
    EXPECT_FALSE(PathExists(desktopLink_)) << "the desktop link was switched off";
    EXPECT_TRUE(PathExists(StartMenuLink())) << "start-menu links are made all the same";
}

// The folder chooser: the file-open dialog with its pseudo file name.
HWND FolderChooser(const Child& setup)
{
    return WaitForWindowOf(setup, [&] { return TopWindow(setup.Id(), "#32770", "", "Go to the destination folder"); });
}

// The chooser's file-name field: the combo box of the explorer-style dialog,
// or the plain edit field of the older one.
HWND ChooserFileName(HWND chooser)
{
    HWND field = GetDlgItem(chooser, 0x47C);
    return field ? field : GetDlgItem(chooser, 0x480);
}

// Closes the chooser by one of its buttons and waits until it is gone.
bool CloseChooser(HWND chooser, int button)
{
    PostClick(GetDlgItem(chooser, button));
    for (int attempt = 0; attempt < 1200 && IsWindow(chooser); ++attempt) Sleep(50);
    return !IsWindow(chooser);
}

TEST_F(InstallFlow, TheFolderChooserAddsTheProductFolderUnlessTheChoiceNamesIt)
{
    const std::string installer = WriteInstaller();
    const std::string tools = folder_.File("Tools");
    const std::string named = folder_.File("MORVANE");
    CreateDirectoryA(tools.c_str(), nullptr);
    CreateDirectoryA(named.c_str(), nullptr);
    Child setup(installer);
    HWND window = OpenInstallQuestion(setup, "LngEnglishRadio", tools);
    ASSERT_NE(window, nullptr) << DescribeWindows(setup);
    HWND edit = FindComponent(window, "PgmPathEd");
    const std::pair<std::string, std::string> choices[] = {
        {tools + "\\Go to the destination folder", tools + "\\Morvane\\"},
        {named + "\\Go to the destination folder", named + "\\"},
    };
    for (const auto& [chosen, expected] : choices) {
        PostClick(FindComponent(window, "ChooseBtn"));
        HWND chooser = FolderChooser(setup);
        ASSERT_NE(chooser, nullptr) << DescribeWindows(setup);
        ASSERT_NE(ChooserFileName(chooser), nullptr);
        EXPECT_NE(Text(ChooserFileName(chooser)).find("Go to the destination folder"), std::string::npos)
            << "the pseudo file name: " << Text(ChooserFileName(chooser));
        SetText(ChooserFileName(chooser), chosen);
        ASSERT_TRUE(CloseChooser(chooser, IDOK)) << DescribeWindows(setup);
        Settle(window);
        EXPECT_EQ(Text(edit), expected) << chosen;
    }
    PostClick(FindComponent(window, "ChooseBtn"));
    HWND chooser = FolderChooser(setup);
    ASSERT_NE(chooser, nullptr) << DescribeWindows(setup);
    SetText(ChooserFileName(chooser), tools + "\\Go to the destination folder");
    ASSERT_TRUE(CloseChooser(chooser, IDCANCEL)) << DescribeWindows(setup);
    Settle(window);
    EXPECT_EQ(Text(edit), named + "\\") << "a cancelled choice changes nothing";
    Click(FindComponent(window, "NoBtn"));
    EXPECT_EQ(setup.WaitForExit(), 0u);
}

TEST_F(InstallFlow, ALockedOldProgramStopsStartBeforeAnythingIsDone)
{
    const std::string installer = WriteInstaller();
    CreateDirectoryA(folder_.File("Program Files").c_str(), nullptr);
    CreateDirectoryA(target_.c_str(), nullptr);
    WriteTestFile(Program(), "the old program");
    {
        // Open as a running program is: no sharing of deletion.
        FileHandle lock(CreateFileA(Program().c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_TRUE(lock);
        Child setup(installer);
        HWND window = nullptr;
        HWND message = InstallInEnglish(setup, target_, window);
        ASSERT_NE(message, nullptr) << DescribeWindows(setup);
        ASSERT_EQ(ComponentName(message), MessageDialogName) << DescribeWindows(setup);
        EXPECT_EQ(Text(message), "Fehler");
        EXPECT_EQ(MessageText(message), "The installed program is either in use\r\nor you do not have the file "
                                        "permissions needed to replace it.");
        Click(FindComponent(message, MessageOkName));
        Settle(window);
        EXPECT_TRUE(IsWindowVisible(FindComponent(window, "AskPanel"))) << "the install question stays";
        EXPECT_FALSE(IsWindowVisible(FindComponent(window, "ProgressPanel")));
        EXPECT_EQ(Text(FindComponent(window, "PgmPathEd")), target_) << "the entry is left as typed";

        EXPECT_EQ(FilesBelow(target_), std::set<std::string>{"Morvane.exe"}) << "nothing was written";
        EXPECT_EQ(ReadTestFile(Program()), "the old program");
        EXPECT_FALSE(RegKeyExists(HKEY_LOCAL_MACHINE, ProductKey));
        EXPECT_TRUE(Entries().empty());
        EXPECT_FALSE(PathExists(desktopLink_));
        EXPECT_FALSE(PathExists(LogFile));
        Click(FindComponent(window, "NoBtn"));
        EXPECT_EQ(setup.WaitForExit(), 0u);
        ASSERT_TRUE(setup.WaitForAllToEnd());
    }
    EXPECT_FALSE(PathExists(record_)) << "nothing was started: " << ReadTestFile(record_);
}

TEST_F(InstallFlow, AFailingScriptShowsTheErrorStartsNothingAndWritesTheLog)
{
    // The payload ends long before this piece would.
    const std::string broken = "action=save,OrigLen=999999,Filename=*PgmPath*\\Missing.bin";
    const std::string installer = WriteInstaller({broken});
    const std::string runLog = folder_.File("window log.txt");
    {
        Child setup(installer, "\"/LOG=" + runLog + "\"");
        HWND window = nullptr;
        HWND message = InstallInEnglish(setup, target_, window);
        ASSERT_NE(message, nullptr) << DescribeWindows(setup);
        ASSERT_EQ(ComponentName(message), MessageDialogName) << "no persons dialog after a failed run";
        EXPECT_EQ(Text(message), "Fehler");
        EXPECT_EQ(MessageText(message), "An error has occurred.\r\nSetup will be cancelled.");
        EXPECT_FALSE(IsWindowVisible(FindComponent(window, "ProgressPanel")));
        PostClick(FindComponent(message, MessageOkName));
        EXPECT_EQ(setup.WaitForExit(), 0u) << "the window closes";
        // Whatever it started has ended and would have left its record.
        ASSERT_TRUE(setup.WaitForAllToEnd());
    }
    EXPECT_FALSE(PathExists(record_)) << "nothing was started: " << ReadTestFile(record_);
    EXPECT_TRUE(PathExists(Program())) << "files before the failing command are written";
    EXPECT_FALSE(PathExists(Settings())) << "no settings file after a failed run";
    ASSERT_TRUE(PathExists(LogFile));
    const std::string log = ReadTestFile(LogFile);
    EXPECT_NE(log.find("Command failed: " + broken), std::string::npos) << log;
    EXPECT_NE(log.find("Missing.bin"), std::string::npos) << log;
    // The run log of the window: what an unattended run would have said, and the window's own exit code.
    const std::string windowLog = ReadTestFile(runLog);
    EXPECT_NE(windowLog.find(", installation, in the window\r\n"), std::string::npos) << windowLog;
    EXPECT_NE(windowLog.find("\r\nFAILED: " + broken + "\r\n"), std::string::npos) << windowLog;
    const std::string end = "\r\noutcome: 1 (other errors)\r\nexit code 0\r\n";
    EXPECT_EQ(windowLog.substr(windowLog.size() - std::min(windowLog.size(), end.size())), end) << windowLog;
}

TEST_F(InstallFlow, ASettingsFileThatCannotBeReadOrWrittenEndsInTheErrorDisplay)
{
    const std::string installer = WriteInstaller();
    CreateDirectoryA(folder_.File("Program Files").c_str(), nullptr);
    CreateDirectoryA(target_.c_str(), nullptr);
    WriteTestFile(Settings(), "Lng=DE\r\n");
    // Held open by the program: shared with nobody, or shared for reading only.
    struct Case {
        DWORD sharing;
        std::string opening;
    };
    const Case cases[] = {
        {0, "Datei " + Settings() + " kann nicht ge\xF6" "ffnet werden. "},
        {FILE_SHARE_READ, "Datei \"" + Settings() + "\" kann nicht erstellt werden. "},
    };
    for (const Case& test : cases) {
        FileHandle lock(CreateFileA(Settings().c_str(), GENERIC_READ, test.sharing, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_TRUE(lock);
        Child setup(installer);
        HWND window = OpenInstallQuestion(setup, "LngEnglishRadio", target_);
        ASSERT_NE(window, nullptr) << DescribeWindows(setup);
        PostClick(FindComponent(window, "StartBtn"));
        HWND box = WaitForWindowOf(setup, [&] { return TopWindow(setup.Id(), "#32770", "", "Setup"); });
        ASSERT_NE(box, nullptr) << "the general error display" << DescribeWindows(setup);
        const std::string text = Text(GetDlgItem(box, 0xFFFF));
        EXPECT_EQ(text.compare(0, test.opening.size(), test.opening), 0) << text;
        EXPECT_GT(text.size(), test.opening.size()) << "the system's reason follows: " << text;
        EXPECT_EQ(TopWindow(setup.Id(), "", MessageDialogName), nullptr) << "no success message";
        Click(GetDlgItem(box, IDOK));
        Settle(window);
        for (const char* panel : {"LngPanel", "AskPanel", "ProgressPanel", "UninstAskPanel"})
            EXPECT_FALSE(IsWindowVisible(FindComponent(window, panel))) << "the window stays without " << panel;
        EXPECT_TRUE(IsWindow(window));
        PostMessageA(window, WM_CLOSE, 0, 0);
        EXPECT_EQ(setup.WaitForExit(), 0u);
        ASSERT_TRUE(setup.WaitForAllToEnd());
        lock.reset();
        EXPECT_FALSE(PathExists(record_)) << "the program is not started: " << ReadTestFile(record_);
        EXPECT_EQ(ReadTestFile(Settings()), "Lng=DE\r\n");
        EXPECT_TRUE(PathExists(Program())) << "the installation itself stays";
        EXPECT_TRUE(PathExists(target_ + "\\uninstall.exe"));
        EXPECT_EQ(Entries().size(), 1u);
        EXPECT_TRUE(PathExists(desktopLink_));
    }
}

TEST_F(InstallFlow, TheUninstallersCancelKeepsEverythingAndRemoveTakesItAway)
{
    const std::string installer = WriteInstaller();
    const TRunResult install = RunProgram("\"" + installer + "\" /S /LANG=EN \"/D=" + target_ + "\"");
    ASSERT_EQ(install.ExitCode, 0u) << install.StandardError;
    const std::vector<std::string> entries = Entries();
    ASSERT_EQ(entries.size(), 1u);
    const std::string uninstaller = target_ + "\\uninstall.exe";
    const std::string arguments = "/uninst \"UninstallKey=" + entries[0] + "\"";
    EXPECT_EQ(RegString(HKEY_LOCAL_MACHINE, UninstallList + "\\" + entries[0], "UninstallString"),
              "\"" + uninstaller + "\" " + arguments)
        << "started as the system's list of programs starts it";
    WriteTestFile(reminder_, "reminder link");
    const std::set<std::string> installed = FilesBelow(target_);
    ASSERT_GT(installed.size(), static_cast<std::size_t>(HelpPages));
    const std::string exec = RegString(HKEY_LOCAL_MACHINE, ProductKey, "Exec");
    ASSERT_EQ(exec, Program());

    {
        Child setup(uninstaller, arguments);
        HWND window = MainWindow(setup);
        ASSERT_NE(window, nullptr) << DescribeWindows(setup);
        ASSERT_NE(Visible(window, "UninstAskPanel"), nullptr) << DescribeWindows(setup);
        EXPECT_EQ(Text(FindComponent(window, "UninstallText")),
                  "Do you want to remove the program Morvane from your computer?")
            << "the language of the installation";
        Click(FindComponent(window, "UninstNoBtn"));
        EXPECT_EQ(setup.WaitForExit(), 0u);
    }
    EXPECT_EQ(FilesBelow(target_), installed) << "Abbrechen removes no file";
    EXPECT_EQ(Entries(), entries) << "nor the uninstall entry";
    EXPECT_EQ(RegString(HKEY_LOCAL_MACHINE, ProductKey, "Exec"), exec);
    EXPECT_TRUE(PathExists(desktopLink_));
    EXPECT_TRUE(PathExists(StartMenuLink()));
    EXPECT_TRUE(PathExists(reminder_));

    const std::string removalLog = folder_.File("removal.log");
    {
        Child setup(uninstaller, arguments + " \"/LOG=" + removalLog + "\"");
        HWND window = MainWindow(setup);
        ASSERT_NE(window, nullptr) << DescribeWindows(setup);
        ASSERT_NE(Visible(window, "UninstAskPanel"), nullptr) << DescribeWindows(setup);
        Shot(window, "remove_1_question");
        RECT screen;
        GetWindowRect(window, &screen);
        PostClick(FindComponent(window, "UninstStartBtn"));
        ShootProgress(setup, window, "remove_2_progress");
        EXPECT_EQ(setup.WaitForExit(), 0u) << "the window closes without a message";
        SaveScreenShot(screen, "remove_3_end");
    }
    // The data file stays, and so do the settings the program wrote, which no
    // list names; the uninstaller goes once it has ended, deleted by a copy.
    for (int i = 0; i < 100 && PathExists(target_ + "\\uninstall.exe"); ++i) Sleep(100);
    EXPECT_EQ(FilesBelow(target_), (std::set<std::string>{"DemoData\\Keys.ada", "Morvane.ini"}));
    EXPECT_TRUE(Entries().empty()) << "the uninstall entry is removed";
    EXPECT_FALSE(PathExists(desktopLink_));
    EXPECT_FALSE(PathExists(StartMenuLink()));
    EXPECT_FALSE(PathExists(startMenu_));
    EXPECT_FALSE(PathExists(reminder_)) << "the reminder in the installation's language";
    const std::string log = ReadTestFile(removalLog);
    EXPECT_NE(log.find(", removal, in the window\r\n"), std::string::npos) << log;
    EXPECT_NE(log.find("\r\nfile: " + Program() + ": deleted\r\n"), std::string::npos) << log;
    EXPECT_NE(log.find("\r\noutcome: 0 (done)\r\nexit code 0\r\n"), std::string::npos) << log;
}

}  // namespace
