#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include <algorithm>
#include <numeric>

#include <gtest/gtest.h>

#include "container/pe_image.h"
#include "container/sections.h"
#include "container/zlib_wrapper.h"
#include "e2e_support_win.h"
#include "engine/command_text.h"
#include "engine/folders.h"
#include "engine/one_setup.h"
#include "engine/unattended_options.h"
#include "support/test_support.h"
#include "util/win_handles.h"

namespace {

const std::string UninstallList = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

std::string Quoted(const std::string& path)
{
    return "\"" + path + "\"";
}

std::string ShellFolder(int id)
{
    char path[MAX_PATH] = {};
    return SUCCEEDED(SHGetFolderPathA(nullptr, id, nullptr, 0, path)) ? path : "";
}

// Folder lists as the engine keeps them: ascending, letter case ignored.
std::vector<std::string> SortedFolders(std::vector<std::string> folders)
{
    std::sort(folders.begin(), folders.end(), [](const std::string& a, const std::string& b) {
        return CompareStringA(LOCALE_USER_DEFAULT, NORM_IGNORECASE, a.data(), static_cast<int>(a.size()), b.data(),
                              static_cast<int>(b.size())) == CSTR_LESS_THAN;
    });
    return folders;
}

// Waits up to ten seconds for a file or folder to go.
bool GoneWithinTenSeconds(const std::string& path)
{
    for (int i = 0; i < 100 && PathExists(path); ++i) Sleep(100);
    return !PathExists(path);
}

// The copies that finish removals, in the temporary folder.
std::vector<std::string> FinisherCopies()
{
    char temp[MAX_PATH + 1] = {};
    GetTempPathA(MAX_PATH + 1, temp);
    std::vector<std::string> copies;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((std::string(temp) + "~setup-finish-*.exe").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return copies;
    do copies.push_back(found.cFileName);
    while (FindNextFileA(search, &found));
    FindClose(search);
    return copies;
}

bool EndsWith(const std::string& text, const std::string& end)
{
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// Every test installs its own product: own registry key, uninstall name,
// shortcut names and folders, all removed afterwards.
class SilentSetupTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        CoInitialize(nullptr);
        // Every 64-bit Windows has the 32-bit view of the list; a new Wine prefix may not.
        RegSetString(HKEY_LOCAL_MACHINE, UninstallList + "\\SetupE2EProbe", "x", "y");
        RegDeleteTreeAt(HKEY_LOCAL_MACHINE, UninstallList + "\\SetupE2EProbe");
        id_ = std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++counter_);
        product_ = "SetupE2E\\Morvane" + id_;
        name_ = "E2EMorvane" + id_;
        linkName_ = "E2E Morvane " + id_;
        desktop_ = CommonDesktopFolder();
        startMenu_ = CommonProgramsFolder() + "\\" + linkName_;
        pgm_ = dir_.File("Install Dir\\Morvane") + "\\";
        languageText_ = Utf16LeWithMark("// Setup\r\nDE=Setup f\xFCr\r\nEN=Setup for\r\n\r\n"
                                        "DE=Morvane Erinnerung\r\nEN=Morvane Reminder\r\n");
    }
    void TearDown() override
    {
        RegDeleteTreeAt(HKEY_LOCAL_MACHINE, "SOFTWARE\\" + product_);
        RegDeleteTreeAt(HKEY_CURRENT_USER, "SOFTWARE\\" + product_);
        for (const std::string& entry : Entries()) RegDeleteTreeAt(HKEY_LOCAL_MACHINE, UninstallList + "\\" + entry);
        DeleteFileA((desktop_ + "\\" + linkName_ + ".lnk").c_str());
        for (const char* name : {"\\User Manual.lnk", "\\Desktop.ini"}) {
            SetFileAttributesA((startMenu_ + name).c_str(), FILE_ATTRIBUTE_NORMAL);
            DeleteFileA((startMenu_ + name).c_str());
        }
        SetFileAttributesA(startMenu_.c_str(), FILE_ATTRIBUTE_NORMAL);
        RemoveDirectoryA(startMenu_.c_str());
        CoUninitialize();
    }

    std::vector<std::string> Entries() const
    {
        std::vector<std::string> entries;
        for (const std::string& subkey : RegSubkeys(HKEY_LOCAL_MACHINE, UninstallList))
            if (subkey.compare(0, name_.size() + 1, name_ + " ") == 0) entries.push_back(subkey);
        return entries;
    }
    std::string Entry(const std::string& key) const { return UninstallList + "\\" + key; }
    std::string ProductKey() const { return "SOFTWARE\\" + product_; }

    std::string PathLine(const std::string& version = "2012-01") const
    {
        return "action=path," + QuoteItem("PgmPath=" + dir_.File("Default") + "\\") + "," +
               QuoteItem("DataPath=" + dir_.File("SharedData") + "\\") + "," + QuoteItem("Registry=" + product_) +
               ",Version=" + version + ",Lng=DE," + QuoteItem("MyStartMenu=*StartMenu*\\" + linkName_ + "\\");
    }
    std::string UninstLine() const
    {
        return "action=uninst,pgm=*PgmPath*\\uninstall.exe,param=/uninst," + QuoteItem("name=" + name_) +
               ",Publisher=Brumo,URLInfoAbout=http://www.brumo.example/,HelpLink=http://www.brumo.example/help";
    }
    std::string DesktopIconLine() const
    {
        return "action=icon,file=*PgmPath*\\Morvane.exe," + QuoteItem("lnk=*Desktop*\\" + linkName_ + ".lnk");
    }

    // Writes the installer and runs it with the given arguments.
    TRunResult Install(const std::vector<std::string>& script, const std::string& payload, const std::string& arguments)
    {
        const std::string installer = dir_.File("Setup.exe");
        WriteTestFile(installer, MakeInstaller(script, payload, languageText_));
        return RunProgram(Quoted(installer) + " " + arguments);
    }

    static int counter_;
    TempDir dir_;
    std::string id_, product_, name_, linkName_, desktop_, startMenu_, pgm_, languageText_;
};

int SilentSetupTest::counter_ = 0;

const std::vector<TPackageFile> Files = {
    {"Morvane.exe", MakeTestBytes(40000, false, 1), false, false},
    {"Help\\en\\manual.htm", MakeTestBytes(30000, true, 2), true, false},
    {"System\\IconData.ico", MakeTestBytes(5000, false, 3), false, false},
    {"Templates\\Form1 Issuance.rtf", MakeTestBytes(8000, true, 4), true, false},
    {"DemoData\\Data.ada", MakeTestBytes(3000, true, 5), true, true},
    {"DemoData\\Settings.txt", "shipped settings", false, true},
};

} // namespace

TEST_F(SilentSetupTest, InstallReinstallAndUninstall)
{
    std::string payload;
    std::vector<std::string> script = {PathLine()};
    for (const std::string& line : SaveLines(Files, payload)) script.push_back(line);
    script.push_back(UninstLine());
    script.push_back(DesktopIconLine());
    script.push_back("action=icon,file=*PgmPath*\\Help\\en\\manual.htm,\"lnk=*MyStartMenu*\\User Manual\",param=aftersetup");
    script.push_back("action=desktopini,path=*MyStartMenu*\\,icon=*PgmPath*\\System\\IconData.ico");
    script.push_back("action=exec,params=aftersetup");

    // A copy that moved to "System" in this version.
    CreateDirectoryA(dir_.File("Install Dir").c_str(), nullptr);
    CreateDirectoryA(pgm_.c_str(), nullptr);
    WriteTestFile(pgm_ + "IconData.ico", "old copy");

    // --- first installation ---
    TRunResult run = Install(script, payload, "/S " + Quoted("/D=" + dir_.File("Install Dir\\Morvane")) + " /LANG=en");
    ASSERT_EQ(run.ExitCode, 0u) << run.StandardError;
    EXPECT_EQ(run.StandardError, "");
    for (const TPackageFile& file : Files) EXPECT_EQ(ReadTestFile(pgm_ + file.Name), file.Contents) << file.Name;
    EXPECT_FALSE(PathExists(pgm_ + "IconData.ico")) << "the obsolete copy is removed";
    EXPECT_FALSE(PathExists(dir_.File("Default"))) << "the script's default folder is not used";
    EXPECT_EQ(ReadTestFile(pgm_ + "Morvane.ini"), "Lng=EN\r\nFormTemplate1=Templates\\Form1 Issuance.rtf\r\n");

    EXPECT_EQ(RegString(HKEY_LOCAL_MACHINE, ProductKey(), "Exec"), pgm_ + "Morvane.exe");
    EXPECT_EQ(RegString(HKEY_LOCAL_MACHINE, ProductKey(), "DataPath"), dir_.File("SharedData") + "\\");

    std::vector<std::string> entries = Entries();
    ASSERT_EQ(entries.size(), 1u);
    const std::string key = entries[0];
    const std::string entry = Entry(key);
    const std::string uninstaller = pgm_ + "uninstall.exe";
    const std::string command = Quoted(uninstaller) + " /uninst " + Quoted("UninstallKey=" + key);
    EXPECT_EQ(RegString(HKEY_LOCAL_MACHINE, entry, "DisplayName").substr(0, name_.size() + 15),
              name_ + " (Installation ");
    EXPECT_EQ(RegString(HKEY_LOCAL_MACHINE, entry, "DisplayIcon"), pgm_ + "Morvane.exe");
    EXPECT_EQ(RegString(HKEY_LOCAL_MACHINE, entry, "UninstallString"), command);
    EXPECT_EQ(RegString(HKEY_LOCAL_MACHINE, entry, "Publisher"), "Brumo");
    EXPECT_EQ(RegString(HKEY_LOCAL_MACHINE, entry, "URLInfoAbout"), "http://www.brumo.example/");
    EXPECT_EQ(RegString(HKEY_LOCAL_MACHINE, entry, "HelpLink"), "http://www.brumo.example/help");
    EXPECT_EQ(RegString(HKEY_LOCAL_MACHINE, entry, "URLUpdateInfo"), "<missing>");
    EXPECT_EQ(RegString(HKEY_LOCAL_MACHINE, entry, "Readme"), "<missing>");
    EXPECT_EQ(RegDword(HKEY_LOCAL_MACHINE, entry, "NoModify"), 1u);
    EXPECT_EQ(RegDword(HKEY_LOCAL_MACHINE, entry, "NoRepair"), 1u);
    EXPECT_EQ(RegString(HKEY_LOCAL_MACHINE, entry, "QuietUninstallString"), command + " /S");
    EXPECT_EQ(RegString(HKEY_LOCAL_MACHINE, entry, "InstallLocation"), pgm_);
    EXPECT_EQ(RegString(HKEY_LOCAL_MACHINE, entry, "DisplayVersion"), "2012-01");
    const std::size_t savedBytes = std::accumulate(Files.begin(), Files.end(), SetupImage().size(),
                                                   [](std::size_t sum, const TPackageFile& f) { return sum + f.Contents.size(); });
    EXPECT_EQ(RegDword(HKEY_LOCAL_MACHINE, entry, "EstimatedSize"), (savedBytes + 1023) / 1024)
        << "the saved files and the bare uninstaller, in KB";

    const TShortcut desktopLink = ReadShortcut(desktop_ + "\\" + linkName_ + ".lnk");
    ASSERT_TRUE(desktopLink.Loaded);
    EXPECT_EQ(desktopLink.Target, pgm_ + "Morvane.exe");
    EXPECT_EQ(desktopLink.Arguments, "");
    EXPECT_EQ(desktopLink.WorkingFolder, pgm_);
    const TShortcut manualLink = ReadShortcut(startMenu_ + "\\User Manual.lnk");
    ASSERT_TRUE(manualLink.Loaded);
    EXPECT_EQ(manualLink.Target, pgm_ + "Help\\en\\manual.htm");
    EXPECT_EQ(manualLink.Arguments, "aftersetup");
    EXPECT_EQ(manualLink.WorkingFolder, pgm_ + "Help\\en\\");
    EXPECT_EQ(ReadTestFile(startMenu_ + "\\Desktop.ini"),
              "[.ShellClassInfo]\r\nIconFile=" + pgm_ + "System\\IconData.ico\r\nIconIndex=0\r\n");

    const std::vector<std::string> folders =
        SortedFolders({dir_.File("Install Dir\\Morvane"), pgm_ + "Help\\en", pgm_ + "System", pgm_ + "Templates",
                       pgm_ + "DemoData", desktop_, startMenu_});
    std::string dirLines;
    for (auto folder = folders.rbegin(); folder != folders.rend(); ++folder) dirLines += "dir=" + *folder + "\r\n";
    std::string fileLines;
    for (const TPackageFile& file : Files) fileLines += "file=" + pgm_ + file.Name + "\r\n";
    const std::string linkLines = "file=" + desktop_ + "\\\\" + linkName_ + ".lnk\r\n" + "file=" + startMenu_ +
                                  "\\\\User Manual.lnk\r\n" + "file=" + startMenu_ + "\\Desktop.ini\r\n";
    const std::string firstList =
        "UninstallKey=" + key + "\r\nLng=EN\r\n" + fileLines + "file=" + uninstaller + "\r\n" + linkLines + dirLines;
    // The image's header differs in the security directory (cleared) and the
    // checksum (of the final bytes); an odd length gets a zero byte behind the image.
    EXPECT_EQ(ReadTestFile(uninstaller),
              UnsignedPeFile(SetupImage(), MakeSection(SectionBeginningMark, "") +
                                               MakeSection(SectionSetupLng, languageText_) +
                                               MakeSection(SectionUninst, CompressString(firstList, LevelDefault))))
        << "uninstall.exe: the image, the begin marker, the language text and this list:\n" << firstList;

    // --- second installation into the same folder ---
    WriteTestFile(pgm_ + "DemoData\\Settings.txt", "changed by the user");
    run = Install(script, payload, "/s " + Quoted("/D=" + dir_.File("Install Dir\\Morvane")) + " /LANG=DE");
    ASSERT_EQ(run.ExitCode, 0u) << run.StandardError;
    EXPECT_EQ(ReadTestFile(pgm_ + "DemoData\\Settings.txt"), "changed by the user") << "saveifnotexists keeps it";
    EXPECT_EQ(Entries(), std::vector<std::string>{key}) << "one entry, named after the first registration";
    EXPECT_EQ(ReadTestFile(pgm_ + "Morvane.ini"), "Lng=DE\r\nFormTemplate1=Templates\\Form1 Issuance.rtf\r\n")
        << "only the language changes in an existing settings file";
    std::string secondFileLines;
    for (const TPackageFile& file : Files)
        if (!file.KeepExisting) secondFileLines += "file=" + pgm_ + file.Name + "\r\n";
    std::string secondDirLines;
    for (auto folder = folders.rbegin(); folder != folders.rend(); ++folder)
        if (*folder != pgm_ + "DemoData") secondDirLines += "dir=" + *folder + "\r\n";
    const std::string secondList =
        "UninstallKey=" + key + "\r\nLng=DE\r\n" + secondFileLines + linkLines + secondDirLines;
    UseSectionsFile(uninstaller);
    LoadOwnSections();
    std::string listSection;
    GetSection(SectionUninst, OwnSectionPart, listSection);
    UseSectionsFile("");
    EXPECT_EQ(DecompressString(listSection), secondList)
        << "kept files, their folder and the existing uninstaller are not the second installation's";

    // --- silent uninstall through the registered command line ---
    const std::string startup = ShellFolder(CSIDL_STARTUP);
    ASSERT_FALSE(startup.empty());
    CreateDirectoryA(startup.c_str(), nullptr);
    WriteTestFile(startup + "\\Morvane Erinnerung.lnk", "reminder");
    WriteTestFile(startup + "\\Morvane Reminder.lnk", "reminder of another language");
    const std::string quietCommand = RegString(HKEY_LOCAL_MACHINE, entry, "QuietUninstallString");
    run = RunProgram(quietCommand);
    ASSERT_EQ(run.ExitCode, 0u) << quietCommand << "\n" << run.StandardError;
    EXPECT_EQ(run.StandardError, "");
    EXPECT_TRUE(Entries().empty()) << "the registration is removed";
    for (const TPackageFile& file : Files) {
        if (file.KeepExisting) continue;
        EXPECT_FALSE(PathExists(pgm_ + file.Name)) << file.Name;
    }
    EXPECT_TRUE(PathExists(pgm_ + "DemoData\\Data.ada")) << "data files stay";
    EXPECT_TRUE(PathExists(pgm_ + "DemoData\\Settings.txt")) << "not listed by the second installation";
    EXPECT_FALSE(PathExists(desktop_ + "\\" + linkName_ + ".lnk"));
    EXPECT_FALSE(PathExists(startMenu_ + "\\User Manual.lnk"));
    EXPECT_FALSE(PathExists(startMenu_ + "\\Desktop.ini"));
    EXPECT_FALSE(PathExists(startMenu_)) << "the emptied start-menu folder goes";
    EXPECT_TRUE(PathExists(desktop_)) << "the desktop is listed but never removed, empty or not";
    for (const char* folder : {"Help\\en", "Help", "System", "Templates"})
        EXPECT_FALSE(PathExists(pgm_ + folder)) << folder << " emptied, so removed";
    EXPECT_TRUE(PathExists(pgm_ + "DemoData")) << "holds the data files (and is not listed)";
    EXPECT_TRUE(GoneWithinTenSeconds(uninstaller)) << "its folder is the installation's: a copy deletes it";
    EXPECT_TRUE(PathExists(pgm_)) << "it holds the data files";
    EXPECT_FALSE(PathExists(startup + "\\Morvane Erinnerung.lnk")) << "the reminder of the installed language";
    EXPECT_TRUE(PathExists(startup + "\\Morvane Reminder.lnk"));
    DeleteFileA((startup + "\\Morvane Reminder.lnk").c_str());
    EXPECT_EQ(RegString(HKEY_LOCAL_MACHINE, ProductKey(), "Exec"), pgm_ + "Morvane.exe")
        << "the product's own values are the product's business";
}

TEST_F(SilentSetupTest, DataFolderInsideTheProgramFolderFollowsTheChosenFolder)
{
    std::string payload;
    std::vector<std::string> script = {"action=path," + QuoteItem("PgmPath=" + dir_.File("Default") + "\\") +
                                       ",DataPath=*PgmPath*\\Data\\," + QuoteItem("Registry=" + product_)};
    std::vector<std::string> saves = SaveLines({Files[0], {"Keys.ada", "keys", false, false}}, payload);
    const std::string inProgramFolder = "Filename=*PgmPath*\\Keys.ada";
    saves[1].replace(saves[1].find(inProgramFolder), inProgramFolder.size(), "Filename=*DataPath*\\Keys.ada");
    script.insert(script.end(), saves.begin(), saves.end());

    const TRunResult run = Install(script, payload, "/S " + Quoted("/D=" + dir_.File("Install Dir\\Morvane")));
    ASSERT_EQ(run.ExitCode, 0u) << run.StandardError;
    EXPECT_EQ(ReadTestFile(pgm_ + "Data\\Keys.ada"), "keys");
    EXPECT_FALSE(PathExists(dir_.File("Default"))) << "nothing under the script's default folder";
    EXPECT_EQ(RegString(HKEY_LOCAL_MACHINE, ProductKey(), "DataPath"), pgm_ + "Data\\");
}

TEST_F(SilentSetupTest, FailedSaveStillBuildsTheUninstallerAndWritesExec)
{
    std::string payload;
    std::vector<std::string> script = {PathLine()};
    script.push_back(SaveLines({Files[0]}, payload)[0]);
    script.push_back(UninstLine());
    script.push_back(DesktopIconLine());
    script.push_back("action=save,OrigLen=999999,Filename=*PgmPath*\\Missing.bin");
    script.push_back("action=exec,params=aftersetup");

    TRunResult run = Install(script, payload, "/S /NODESKTOP " + Quoted("/D=" + dir_.File("Install Dir\\Morvane")));
    EXPECT_EQ(run.ExitCode, 1u);
    EXPECT_NE(run.StandardError.find("data error in " + pgm_ + "Missing.bin"), std::string::npos) << run.StandardError;
    EXPECT_EQ(std::count(run.StandardError.begin(), run.StandardError.end(), '\n'), 1) << "one line";
    EXPECT_EQ(RegString(HKEY_LOCAL_MACHINE, ProductKey(), "Exec"), pgm_ + "Morvane.exe");
    EXPECT_FALSE(PathExists(pgm_ + "Morvane.ini")) << "no settings after a failed run";
    EXPECT_FALSE(PathExists(desktop_ + "\\" + linkName_ + ".lnk")) << "/NODESKTOP";
    std::string log;
    ReadTestFile("C:\\Setup.log").swap(log);
    EXPECT_NE(log.find("Errors: "), std::string::npos);
    EXPECT_NE(log.find("Command failed: action=save,OrigLen=999999"), std::string::npos) << log;

    // The texts hold DE and EN: the system's preselection when it is one of them, else the base language.
    const std::string preselected = PreselectedLanguage(GetSystemDefaultLangID() & 0x3FF);
    const std::string language = preselected == "EN" ? "EN" : "DE";
    const std::vector<std::string> entries = Entries();
    ASSERT_EQ(entries.size(), 1u);
    UseSectionsFile(pgm_ + "uninstall.exe");
    LoadOwnSections();
    std::string listSection;
    GetSection(SectionUninst, OwnSectionPart, listSection);
    UseSectionsFile("");
    EXPECT_EQ(DecompressString(listSection), "UninstallKey=" + entries[0] + "\r\nLng=" + language + "\r\nfile=" + pgm_ +
                                                 "Morvane.exe\r\nfile=" + pgm_ + "uninstall.exe\r\ndir=" +
                                                 dir_.File("Install Dir\\Morvane") + "\r\n")
        << "the language is the system's preselection";

    // The uninstaller of this run removes what it lists, itself aside while it runs.
    run = RunProgram(Quoted(pgm_ + "uninstall.exe") + " /uninst /S");
    EXPECT_EQ(run.ExitCode, 0u) << run.StandardError;
    EXPECT_FALSE(PathExists(pgm_ + "Morvane.exe"));
    EXPECT_TRUE(Entries().empty()) << "found through the list without UninstallKey= on the command line";
}

TEST_F(SilentSetupTest, AnUninstallerThatCannotBeWrittenFailsTheRunAndIsLogged)
{
    std::string payload;
    std::vector<std::string> script = {PathLine()};
    script.push_back(SaveLines({Files[0]}, payload)[0]);
    script.push_back(UninstLine());
    // A read-only file in the final uninstaller's place ("uninst" leaves an existing one alone).
    CreateDirectoryA(dir_.File("Install Dir").c_str(), nullptr);
    CreateDirectoryA(pgm_.c_str(), nullptr);
    const std::string uninstaller = pgm_ + "uninstall.exe";
    WriteTestFile(uninstaller, "old uninstaller");
    SetFileAttributesA(uninstaller.c_str(), FILE_ATTRIBUTE_READONLY);
    DeleteFileA("C:\\Setup.log");

    const TRunResult run = Install(script, payload, "/S " + Quoted("/D=" + dir_.File("Install Dir\\Morvane")));
    SetFileAttributesA(uninstaller.c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(run.ExitCode, 1u) << run.StandardError;
    EXPECT_NE(run.StandardError.find("Write Error: " + uninstaller), std::string::npos) << run.StandardError;
    const std::string log = PathExists("C:\\Setup.log") ? ReadTestFile("C:\\Setup.log") : "<no log>";
    EXPECT_NE(log.find("\r\nErrors: Write Error: " + uninstaller + "; \r\n"), std::string::npos) << log;
    EXPECT_EQ(ReadTestFile(uninstaller), "old uninstaller");
    EXPECT_FALSE(PathExists(pgm_ + "Morvane.ini")) << "no settings after a failed run";
    // The uninstaller is replaced at the end of the run, so the check before
    // the first write finds it: nothing at all is written.
    EXPECT_FALSE(PathExists(pgm_ + "Morvane.exe"));
    EXPECT_EQ(RegString(HKEY_LOCAL_MACHINE, ProductKey(), "Exec"), "<missing>");
}

TEST_F(SilentSetupTest, AFolderTypedWithSlashesIsStoredNormalisedAndItsUninstallerKnowsItself)
{
    std::string payload;
    const std::vector<std::string> saves = SaveLines({{"readme.txt", "read me", false, false}, Files[0]}, payload);
    // No program is saved before "uninst": the uninstaller is the list's first ".exe".
    const std::vector<std::string> script = {PathLine(), saves[0], UninstLine(), saves[1]};
    TRunResult run = Install(script, payload, "/S " + Quoted("/D=" + dir_.File("Install Dir") + "/Morvane//"));
    ASSERT_EQ(run.ExitCode, 0u) << run.StandardError;
    EXPECT_EQ(RegString(HKEY_LOCAL_MACHINE, ProductKey(), "Exec"), pgm_ + "Morvane.exe");
    const std::vector<std::string> entries = Entries();
    ASSERT_EQ(entries.size(), 1u);
    run = RunProgram(RegString(HKEY_LOCAL_MACHINE, Entry(entries[0]), "QuietUninstallString"));
    EXPECT_EQ(run.ExitCode, 0u) << run.StandardError;
    EXPECT_FALSE(PathExists(pgm_ + "Morvane.exe"));
    EXPECT_TRUE(Entries().empty());
}

TEST_F(SilentSetupTest, OneSetupAtATimeAlsoWithoutWindows)
{
    std::string payload;
    const std::vector<std::string> script = {PathLine(), SaveLines({Files[0]}, payload)[0], UninstLine()};
    TRunResult run = Install(script, payload, "/S " + Quoted("/D=" + dir_.File("Install Dir\\Morvane")));
    ASSERT_EQ(run.ExitCode, 0u) << run.StandardError;
    const std::vector<std::string> entries = Entries();
    ASSERT_EQ(entries.size(), 1u);
    const std::string removal = RegString(HKEY_LOCAL_MACHINE, Entry(entries[0]), "QuietUninstallString");
    {
        // Another setup runs: it holds the mutex.
        FileHandle held(CreateMutexA(nullptr, TRUE, OneSetupMutexName));
        ASSERT_TRUE(held);
        const std::string other = dir_.File("Other");
        run = Install(script, payload, "/S " + Quoted("/D=" + other));
        EXPECT_EQ(run.ExitCode, 4u) << run.StandardError;
        EXPECT_NE(run.StandardError.find("another setup is running"), std::string::npos) << run.StandardError;
        EXPECT_FALSE(PathExists(other)) << "nothing written";
        EXPECT_EQ(RegString(HKEY_LOCAL_MACHINE, ProductKey(), "Exec"), pgm_ + "Morvane.exe");
        run = RunProgram(removal);
        EXPECT_EQ(run.ExitCode, 4u) << "the uninstaller waits its turn too: " << run.StandardError;
        EXPECT_TRUE(PathExists(pgm_ + "Morvane.exe"));
        EXPECT_EQ(Entries(), entries);
        ReleaseMutex(held.get());
    }
    run = RunProgram(removal);
    EXPECT_EQ(run.ExitCode, 0u) << "free again: " << run.StandardError;
    EXPECT_FALSE(PathExists(pgm_ + "Morvane.exe"));
}

TEST_F(SilentSetupTest, ExitCodes)
{
    std::string payload;
    std::vector<std::string> script = {PathLine()};
    script.push_back(SaveLines({Files[0]}, payload)[0]);

    for (const char* arguments : {"/S /X", "/S /D=Morvane", "/S /D=C:\\", "/S \"/D=C:\\A B\\\" /LANG=EN", "/S /LANG=PL",
                                  "/S /LANG=ENGL"}) {
        const TRunResult run = Install(script, payload, arguments);
        EXPECT_EQ(run.ExitCode, 2u) << arguments;
        EXPECT_NE(run.StandardError, "") << arguments;
    }
    EXPECT_FALSE(PathExists(dir_.File("Default"))) << "nothing installed on bad arguments";

    WriteTestFile(dir_.File("Registered.exe"), "MZ");
    RegSetString(HKEY_LOCAL_MACHINE, ProductKey(), "Exec", dir_.File("Registered.exe"));
    RegSetString(HKEY_LOCAL_MACHINE, ProductKey(), "Ver", "2099-01");
    TRunResult run = Install(script, payload, "/S");
    EXPECT_EQ(run.ExitCode, 3u) << run.StandardError;
    EXPECT_NE(run.StandardError.find("newer"), std::string::npos) << run.StandardError;
    RegSetString(HKEY_LOCAL_MACHINE, ProductKey(), "Ver", "2011-12");
    run = Install(script, payload, "/S");
    EXPECT_EQ(run.ExitCode, 0u) << "an older registered version is replaced: " << run.StandardError;
    EXPECT_TRUE(PathExists(dir_.File("Morvane.exe"))) << "into the registered program's folder";

    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "TBvSetupForm1";
    RegisterClassA(&windowClass);
    HWND window = CreateWindowA("TBvSetupForm1", "another setup", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr,
                                windowClass.hInstance, nullptr);
    ASSERT_NE(window, nullptr);
    run = Install(script, payload, "/S");
    EXPECT_EQ(run.ExitCode, 4u) << run.StandardError;
    EXPECT_NE(run.StandardError, "");
    DestroyWindow(window);
    UnregisterClassA("TBvSetupForm1", windowClass.hInstance);

    const std::string corrupt = dir_.File("uninstall.exe");
    WriteTestFile(corrupt, SetupImage() + MakeSection(SectionBeginningMark, "") +
                               MakeSection(SectionUninst, "not a zlib stream"));
    run = RunProgram(Quoted(corrupt) + " /S");
    EXPECT_EQ(run.ExitCode, 7u) << "a corrupt uninstall list";
    EXPECT_NE(run.StandardError, "");
    EXPECT_TRUE(PathExists(dir_.File("Morvane.exe"))) << "nothing removed";

    run = RunProgram(Quoted(BuiltSetupPath()) + " /S");
    EXPECT_EQ(run.ExitCode, 7u) << "a program without script";
    EXPECT_NE(run.StandardError.find("setup commands not found"), std::string::npos) << run.StandardError;
}

TEST_F(SilentSetupTest, LanguageFileBesideTheInstallerGoesIntoTheUninstaller)
{
    std::string payload;
    std::vector<std::string> script = {PathLine()};
    script.push_back(SaveLines({Files[0]}, payload)[0]);
    script.push_back(UninstLine());
    const std::string installer = dir_.File("Setup.exe");
    WriteTestFile(installer, MakeInstaller(script, payload, ""));
    const std::string ansiText = "DE=Setup fuer\r\nHU=Setup\r\n";
    WriteTestFile(dir_.File("Setup.lng"), ansiText);

    TRunResult run = RunProgram(Quoted(installer) + " /S /LANG=HU " + Quoted("/D=" + dir_.File("Install Dir\\Morvane")));
    ASSERT_EQ(run.ExitCode, 0u) << "HU is a language of the file beside the installer: " << run.StandardError;
    UseSectionsFile(pgm_ + "uninstall.exe");
    LoadOwnSections();
    std::string languageSection, listSection;
    GetSection(SectionSetupLng, OwnSectionPart, languageSection);
    GetSection(SectionUninst, OwnSectionPart, listSection);
    UseSectionsFile("");
    EXPECT_EQ(languageSection, Utf16LeWithMark(ansiText + "\r\n"))
        << "the loaded texts kept as UTF-16 LE with its mark, each block closed by a blank line";
    EXPECT_NE(DecompressString(listSection).find("\r\nLng=HU\r\n"), std::string::npos);

    run = RunProgram(Quoted(pgm_ + "uninstall.exe") + " /uninst /S");
    EXPECT_EQ(run.ExitCode, 0u) << run.StandardError;
    EXPECT_TRUE(Entries().empty());
}

// What deployment tools rely on: a fixed uninstall entry (Key=) that replaces
// a dated one, the run log of installation and removal, and the exit codes
// of a file in use.
TEST_F(SilentSetupTest, StableKeyRunLogAndFilesInUse)
{
    const std::string key = "E2E.Morvane" + id_;
    const std::string uninstaller = pgm_ + "uninstall.exe";
    struct TKeyCleanup {
        std::string Path;
        ~TKeyCleanup() { RegDeleteTreeAt(HKEY_LOCAL_MACHINE, Path); }
    } cleanup{Entry(key)};
    std::string payload;
    std::vector<std::string> script = {PathLine()};
    for (const std::string& line : SaveLines(Files, payload)) script.push_back(line);
    script.push_back(UninstLine() + "," + QuoteItem("Key=" + key));
    // The dated entry of an earlier version without Key=, in the same place.
    RegSetString(HKEY_LOCAL_MACHINE, Entry(name_ + " 2011-02-03 04.05.06"), "UninstallString",
                 Quoted(uninstaller) + " /uninst");
    CreateDirectoryA(dir_.File("Install Dir").c_str(), nullptr);
    CreateDirectoryA(pgm_.c_str(), nullptr);
    CreateDirectoryA((pgm_ + "DemoData").c_str(), nullptr);
    WriteTestFile(pgm_ + "DemoData\\Settings.txt", "the user's");

    const std::string logFolder = dir_.File("Log Folder");
    CreateDirectoryA(logFolder.c_str(), nullptr);
    const std::string installLog = logFolder + "\\install log.txt";
    const std::string folderArgument = Quoted("/D=" + dir_.File("Install Dir\\Morvane"));
    TRunResult run = Install(script, payload, "/S " + folderArgument + " " + Quoted("/LOG=" + installLog));
    ASSERT_EQ(run.ExitCode, 0u) << run.StandardError;
    EXPECT_TRUE(Entries().empty()) << "the dated entry is deleted, not reused";
    const std::string entry = Entry(key);
    EXPECT_EQ(RegString(HKEY_LOCAL_MACHINE, entry, "DisplayName"), name_) << "no date in it";
    EXPECT_EQ(RegString(HKEY_LOCAL_MACHINE, entry, "UninstallString"),
              Quoted(uninstaller) + " /uninst " + Quoted("UninstallKey=" + key));
    SYSTEMTIME today;
    GetLocalTime(&today);
    EXPECT_EQ(RegString(HKEY_LOCAL_MACHINE, entry, "InstallDate"),
              std::to_string(today.wYear * 10000 + today.wMonth * 100 + today.wDay));
    EXPECT_EQ(RegString(HKEY_LOCAL_MACHINE, entry, "DisplayVersion"), "2012-01");

    const std::string log = ReadTestFile(installLog);
    for (const std::string& expected :
         {std::string("Setup "), std::string(", installation, unattended\r\ncommand line: "),
          "/LOG=" + installLog, std::string("\r\nstarted: "), std::string("\r\nadministrator: "),
          "\r\nfolder: " + pgm_ + "\r\nlanguage: ", "\r\nfile: " + pgm_ + "Morvane.exe: written\r\nok: action=save,",
          "\r\nfile: " + pgm_ + "DemoData\\Settings.txt: kept\r\n", std::string("\r\nok: action=uninst,")})
        EXPECT_NE(log.find(expected), std::string::npos) << expected << " in the log:\n" << log;
    EXPECT_TRUE(EndsWith(log, "\r\nexit code 0\r\n")) << "the last line:\n" << log;

    // A reinstall rewrites the same entry; a program that is in use is named by its exit code.
    WriteTestFile(pgm_ + "Morvane.ini", "Lng=EN\r\n");
    HANDLE busy = CreateFileA((pgm_ + "Morvane.exe").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(busy, INVALID_HANDLE_VALUE);
    run = Install(script, payload, "/S " + folderArgument + " /LOG=" + dir_.File("again.log"));
    EXPECT_EQ(run.ExitCode, 6u) << run.StandardError;
    EXPECT_NE(ReadTestFile(dir_.File("again.log")).find("Morvane.exe: failed: "), std::string::npos)
        << ReadTestFile(dir_.File("again.log"));
    run = RunProgram(Quoted(uninstaller) + " /uninst " + Quoted("UninstallKey=" + key) + " /S");
    EXPECT_EQ(run.ExitCode, 6u) << "the program runs: " << run.StandardError;
    EXPECT_TRUE(RegKeyExists(HKEY_LOCAL_MACHINE, entry)) << "nothing removed while the program runs";
    CloseHandle(busy);
    run = Install(script, payload, "/S " + folderArgument + " /LOG");
    ASSERT_EQ(run.ExitCode, 0u) << run.StandardError;
    // /LOG alone: %TEMP%\PRODUCT-yyyymmdd-hhnnss.log, PRODUCT the last part of Registry.
    char temp[MAX_PATH + 1] = {};
    GetTempPathA(MAX_PATH + 1, temp);
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((std::string(temp) + "Morvane" + id_ + "-????????-??????.log").c_str(), &found);
    ASSERT_NE(search, INVALID_HANDLE_VALUE) << "no log named after the product in " << temp;
    FindClose(search);
    const std::string defaultLog = std::string(temp) + found.cFileName;
    EXPECT_TRUE(EndsWith(ReadTestFile(defaultLog), "\r\nexit code 0\r\n")) << ReadTestFile(defaultLog);
    DeleteFileA(defaultLog.c_str());
    EXPECT_TRUE(RegKeyExists(HKEY_LOCAL_MACHINE, entry));
    EXPECT_TRUE(Entries().empty());

    // With nothing else left in it, the program folder goes too, after the uninstaller's end.
    DeleteFileA((pgm_ + "Morvane.ini").c_str());
    DeleteFileA((pgm_ + "DemoData\\Settings.txt").c_str());
    DeleteFileA((pgm_ + "DemoData\\Data.ada").c_str());
    RemoveDirectoryA((pgm_ + "DemoData").c_str()); // no installation listed it: its files were kept
    const std::string removalLog = logFolder + "\\removal log.txt";
    run = RunProgram(RegString(HKEY_LOCAL_MACHINE, entry, "QuietUninstallString") + " " + Quoted("/LOG=" + removalLog));
    ASSERT_EQ(run.ExitCode, 0u) << run.StandardError;
    EXPECT_FALSE(RegKeyExists(HKEY_LOCAL_MACHINE, entry)) << "removal deletes the fixed entry";
    const std::string removal = ReadTestFile(removalLog);
    EXPECT_NE(removal.find(", removal, unattended\r\n"), std::string::npos) << removal;
    EXPECT_NE(removal.find("\r\nfile: " + pgm_ + "Help\\en\\manual.htm: deleted\r\n"), std::string::npos) << removal;
    EXPECT_NE(removal.find("\r\nfolder: " + pgm_ + "Help\\en: removed\r\n"), std::string::npos) << removal;
    EXPECT_TRUE(EndsWith(removal, "\r\nexit code 0\r\n")) << removal;
    EXPECT_TRUE(GoneWithinTenSeconds(uninstaller));
    EXPECT_TRUE(GoneWithinTenSeconds(pgm_)) << "the emptied program folder";
    for (int i = 0; i < 100 && !FinisherCopies().empty(); ++i) Sleep(100);
    EXPECT_EQ(FinisherCopies(), std::vector<std::string>()) << "the copy deletes itself";
}
