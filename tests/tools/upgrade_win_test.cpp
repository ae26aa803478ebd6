// Upgrades packed by mksetup and run by the real Setup.exe unattended: only
// the files whose bytes changed are written, a file in use stops the run
// before anything is written, and a file the new version no longer ships is
// removed with the product.
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

namespace fs = std::filesystem;

namespace {

const char UninstallList[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
const long FileInUseExitCode = 6;

RegKey OpenView(const std::string& path, REGSAM access = KEY_READ)
{
    RegKey key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, access | KEY_WOW64_32KEY, key.receive()) != ERROR_SUCCESS)
        key.reset();
    return key;
}

std::string RegString(const std::string& path, const char* name)
{
    RegKey key = OpenView(path);
    char buffer[2048];
    DWORD size = sizeof(buffer), type = 0;
    if (!key || RegQueryValueExA(key.get(), name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size) !=
                    ERROR_SUCCESS || type != REG_SZ)
        return "<missing>";
    return std::string(buffer, size > 0 ? size - 1 : 0);
}

std::vector<std::string> Entries(const std::string& name)
{
    std::vector<std::string> names;
    RegKey list = OpenView(UninstallList);
    char entry[512];
    for (DWORD i = 0; list; ++i) {
        DWORD length = sizeof(entry);
        if (RegEnumKeyExA(list.get(), i, entry, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        if (std::string(entry, length).rfind(name + " ", 0) == 0) names.emplace_back(entry, length);
    }
    return names;
}

// A write time long past: a file that still has it was not written since.
const FILETIME OldTime = {0x5D2E8000, 0x01C07386}; // 2001-01-01

void SetOldTime(const std::string& path)
{
    FileHandle file(CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(file && SetFileTime(file.get(), nullptr, nullptr, &OldTime)) << path;
}

bool HasOldTime(const std::string& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    return GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data) &&
           CompareFileTime(&data.ftLastWriteTime, &OldTime) == 0;
}

struct TVersionFile {
    std::string Name;
    std::string Contents;
};

} // namespace

TEST(Upgrade, OnlyChangedFilesAreWrittenAFileInUseStopsTheRunBeforeAnyWriteAndNoOldFileOutlivesRemoval)
{
    const char* source = std::getenv("SETUP_SOURCE_DIR");
    const fs::path setup = fs::path(source ? source : "") / "dist" / (sizeof(void*) == 8 ? "win64" : "win32") / "Setup.exe";
    if (!source || !fs::exists(setup)) GTEST_SKIP() << "no Setup.exe in dist/ yet (make builds it)";

    TempDir dir;
    const std::string id = std::to_string(GetCurrentProcessId());
    const std::string name = "UpgradeTest" + id, pgm = dir.File("Installed") + "\\";
    struct TCleanup {
        std::string Name;
        ~TCleanup()
        {
            if (RegKey list = OpenView(UninstallList, KEY_ALL_ACCESS))
                for (const std::string& entry : Entries(Name)) RegDeleteTreeA(list.get(), entry.c_str());
            if (RegKey tests = OpenView("SOFTWARE\\SetupTests", KEY_ALL_ACCESS)) RegDeleteTreeA(tests.get(), Name.c_str());
        }
    } cleanup{name};

    // Version 2 changes b.bin's size and same.txt's bytes but not its size,
    // drops dropped.txt, and keeps a.txt and sub\c.txt as they were.
    const std::vector<TVersionFile> v1 = {{"a.txt", MakeTestBytes(30000, true, 1)},  {"b.bin", MakeTestBytes(7000, false, 2)},
                                          {"same.txt", std::string(500, '1')},     {"dropped.txt", "old only"},
                                          {"sub\\c.txt", MakeTestBytes(900, true, 3)}};
    const std::vector<TVersionFile> v2 = {v1[0], {"b.bin", MakeTestBytes(7100, false, 4)}, {"same.txt", std::string(500, '2')}, v1[4]};
    auto pack = [&](const std::string& version, const std::vector<TVersionFile>& files) {
        std::string pkg = "action=path,PgmPath=*Programs*\\" + name + "\\,Registry=SetupTests\\" + name + ",Version=" +
                          version + "\r\n";
        for (const TVersionFile& file : files) {
            fs::create_directories(fs::path(dir.File(version + "\\" + file.Name)).parent_path());
            WriteTestFile(dir.File(version + "\\" + file.Name), file.Contents);
            pkg += "action=save,Source=" + file.Name + ",Filename=*PgmPath*\\" + file.Name + "\r\n";
        }
        WriteTestFile(dir.File(version + "\\keep.cfg"), "shipped");
        pkg += "action=saveifnotexists,Source=keep.cfg,Filename=*PgmPath*\\keep.cfg\r\n";
        pkg += "action=uninst,name=" + name + "\r\n";
        WriteTestFile(dir.File(version + "\\p.pkg"), pkg);
        std::ostringstream out, err;
        EXPECT_EQ(RunTool({"build", dir.File(version + "\\p.pkg"), "-o", dir.File("Setup-" + version + ".exe"), "--stub",
                           setup.string(), "--quiet"},
                          out, err, false),
                  ExitOk)
            << err.str();
        return "\"" + dir.File("Setup-" + version + ".exe") + "\" /S \"/D=" + dir.File("Installed") + "\"";
    };
    const std::string install1 = pack("1", v1), install2 = pack("2", v2);

    ASSERT_EQ(RunAndWait(install1), 0);
    for (const TVersionFile& file : v1) SetOldTime(pgm + file.Name);
    ASSERT_EQ(RunAndWait(install1 + " \"/LOG=" + dir.File("same.log") + "\""), 0);
    for (const TVersionFile& file : v1) EXPECT_TRUE(HasOldTime(pgm + file.Name)) << file.Name << " was rewritten unchanged";
    EXPECT_NE(ReadTestFile(dir.File("same.log")).find("file: " + pgm + "a.txt: unchanged"), std::string::npos);
    ASSERT_EQ(Entries(name).size(), 1u);
    const std::string entry = std::string(UninstallList) + "\\" + Entries(name)[0];

    {
        // Late in the order, after b.bin, which would otherwise be new by now.
        FileHandle held(CreateFileA((pgm + "same.txt").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(held);
        EXPECT_EQ(RunAndWait(install2), FileInUseExitCode);
    }
    for (const TVersionFile& file : v1) {
        EXPECT_TRUE(ReadTestFile(pgm + file.Name) == file.Contents) << file.Name;
        EXPECT_TRUE(HasOldTime(pgm + file.Name)) << file.Name << " was touched by the refused upgrade";
    }
    EXPECT_EQ(RegString(entry, "DisplayVersion"), "1");
    EXPECT_NE(ReadTestFile("C:\\Setup.log").find("Write Error: " + pgm + "same.txt"), std::string::npos);

    WriteTestFile(pgm + "keep.cfg", "the user's");
    ASSERT_EQ(RunAndWait(install2), 0);
    for (const TVersionFile& file : v2) {
        EXPECT_TRUE(ReadTestFile(pgm + file.Name) == file.Contents) << file.Name;
        EXPECT_EQ(HasOldTime(pgm + file.Name), file.Name == "a.txt" || file.Name == "sub\\c.txt")
            << file.Name << ": written exactly when its bytes changed";
    }
    EXPECT_EQ(RegString(entry, "DisplayVersion"), "2");
    EXPECT_EQ(ReadTestFile(pgm + "dropped.txt"), "old only") << "nothing is deleted during an upgrade";

    ASSERT_EQ(RunAndWait(RegString(entry, "QuietUninstallString")), 0);
    for (const char* removed : {"a.txt", "b.bin", "same.txt", "sub\\c.txt", "dropped.txt"})
        EXPECT_FALSE(fs::exists(pgm + removed)) << removed;
    EXPECT_FALSE(fs::exists(pgm + "sub")) << "the folder of files left unchanged is listed too";
    EXPECT_EQ(ReadTestFile(pgm + "keep.cfg"), "the user's") << "kept by version 2, so the user's";
}
