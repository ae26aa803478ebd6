// An installer is started from a downloads folder that anyone can write to.
// DLLs named like those the program or the system libraries it uses may load
// lie beside Setup.exe and beside uninstall.exe; none of them may be loaded,
// neither unattended nor with the window.
#include <windows.h>

#include <gtest/gtest.h>

#include "e2e_support_win.h"
#include "engine/command_text.h"
#include "support/test_support.h"
#include "util/file_helpers.h"
#include "util/win_handles.h"

namespace {

const char* const PlantedNames[] = {"version.dll", "uxtheme.dll", "dwmapi.dll",  "cryptbase.dll",
                                    "userenv.dll", "comctl32.dll", "shfolder.dll", "riched20.dll", "bcrypt.dll"};
const std::string UninstallList = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

std::string MarkerDll()
{
    const std::string own = OwnExecutablePath();
    return own.substr(0, own.find_last_of('\\')) + "\\planted_marker.dll";
}

// Starts the program with the window, waits until its main window shows and
// has had time to draw, then closes it. False when no window came up.
bool ShowWindowAndClose(const std::string& commandLine)
{
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    std::string line = commandLine;
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return false;
    FileHandle processHandle(process.hProcess);
    FileHandle threadHandle(process.hThread);
    HWND window = nullptr;
    for (int i = 0; i < 300 && !window; ++i) {
        if (WaitForSingleObject(process.hProcess, 100) == WAIT_OBJECT_0) {
            DWORD code = 0;
            GetExitCodeProcess(process.hProcess, &code);
            std::printf("%s ended with %lx before its window showed\n", commandLine.c_str(), code);
            break;
        }
        window = ProcessWindow(process.dwProcessId, "TBvSetupForm1");
    }
    if (window) {
        Sleep(1500); // themes, fonts and the shell load their libraries while the window draws
        PostMessageA(window, WM_CLOSE, 0, 0);
    }
    if (WaitForSingleObject(process.hProcess, 10000) != WAIT_OBJECT_0) TerminateProcess(process.hProcess, 1);
    WaitForSingleObject(process.hProcess, 5000);
    return window != nullptr;
}

class PlantedDllTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        markers_ = dir_.File("markers");
        CreateDirectoryA(markers_.c_str(), nullptr);
        SetEnvironmentVariableA("SETUP_PLANTED_DLL_MARKERS", markers_.c_str());
        name_ = "E2EPlanted" + std::to_string(GetCurrentProcessId());
        product_ = "SetupE2E\\" + name_;
    }
    void TearDown() override
    {
        SetEnvironmentVariableA("SETUP_PLANTED_DLL_MARKERS", nullptr);
        RegDeleteTreeAt(HKEY_LOCAL_MACHINE, "SOFTWARE\\" + product_);
        RegDeleteTreeAt(HKEY_CURRENT_USER, "SOFTWARE\\" + product_);
        for (const std::string& entry : RegSubkeys(HKEY_LOCAL_MACHINE, UninstallList))
            if (entry.compare(0, name_.size(), name_) == 0) RegDeleteTreeAt(HKEY_LOCAL_MACHINE, UninstallList + "\\" + entry);
    }

    // Installs unattended, shows the installer's and the uninstaller's windows,
    // removes unattended; every step with the DLLs planted beside the program.
    void RunEveryMode();

    void PlantBeside(const std::string& folder)
    {
        for (const char* name : PlantedNames)
            ASSERT_TRUE(CopyFileA(MarkerDll().c_str(), (folder + "\\" + name).c_str(), FALSE)) << name;
    }
    // The planted DLLs that left a marker, and the markers removed for the next run.
    std::string LoadedDlls()
    {
        std::string loaded;
        for (const char* name : PlantedNames) {
            const std::string marker = markers_ + "\\" + name + ".loaded";
            if (PathExists(marker)) loaded += std::string(name) + " ";
            DeleteFileA(marker.c_str());
        }
        return loaded;
    }
    std::string Installer()
    {
        std::string payload;
        std::vector<std::string> script = {"action=path," + QuoteItem("PgmPath=" + dir_.File("Default") + "\\") + "," +
                                           QuoteItem("Registry=" + product_) + ",Version=2012-01,Lng=DE"};
        for (const std::string& line : SaveLines({{"Morvane.exe", MakeTestBytes(5000, false, 21), false, false},
                                                  {"Help\\manual.htm", MakeTestBytes(8000, true, 22), true, false}},
                                                 payload))
            script.push_back(line);
        script.push_back("action=uninst,pgm=*PgmPath*\\uninstall.exe,param=/uninst," + QuoteItem("name=" + name_));
        return MakeInstaller(script, payload, Utf16LeWithMark("// Setup\r\nDE=Setup f\xFCr\r\nEN=Setup for\r\n"));
    }

    TempDir dir_;
    std::string markers_, name_, product_;
};

} // namespace

void PlantedDllTest::RunEveryMode()
{
    ASSERT_TRUE(PathExists(MarkerDll())) << MarkerDll();
    // The marker reaches the programs started here: loaded under its own name, it shows.
    RunProgram("rundll32.exe \"" + MarkerDll() + "\",DllMain");
    const std::string ownMarker = markers_ + "\\planted_marker.dll.loaded";
    ASSERT_TRUE(PathExists(ownMarker)) << "the marker DLL leaves no marker";
    DeleteFileA(ownMarker.c_str());

    const std::string downloads = dir_.File("Downloads");
    ASSERT_TRUE(CreateDirectoryA(downloads.c_str(), nullptr));
    const std::string setup = downloads + "\\Setup.exe";
    WriteTestFile(setup, Installer());
    PlantBeside(downloads);

    const std::string folder = dir_.File("Program\\Morvane");
    const TRunResult install = RunProgram("\"" + setup + "\" /S \"/D=" + folder + "\"");
    EXPECT_EQ(LoadedDlls(), "") << "unattended installation";
    ASSERT_EQ(install.ExitCode, 0u) << install.StandardError;

    const std::string uninstaller = folder + "\\uninstall.exe";
    ASSERT_TRUE(PathExists(uninstaller));
    PlantBeside(folder);
    EXPECT_TRUE(ShowWindowAndClose("\"" + setup + "\"")) << "the installer's window did not show";
    EXPECT_EQ(LoadedDlls(), "") << "installer with the window";
    EXPECT_TRUE(ShowWindowAndClose("\"" + uninstaller + "\" /uninst")) << "the uninstaller's window did not show";
    EXPECT_EQ(LoadedDlls(), "") << "uninstaller with the window";

    const TRunResult uninstall = RunProgram("\"" + uninstaller + "\" /uninst /S");
    EXPECT_EQ(uninstall.ExitCode, 0u) << uninstall.StandardError;
    EXPECT_EQ(LoadedDlls(), "") << "unattended removal";
    EXPECT_FALSE(PathExists(folder + "\\Morvane.exe")) << "the removal ran";
}

TEST_F(PlantedDllTest, NoDllBesideSetupOrUninstallerIsLoaded)
{
    RunEveryMode();
}
