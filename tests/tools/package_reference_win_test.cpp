// The example package of the package author's reference, packed by mksetup and
// installed and removed by the real Setup.exe in its unattended mode: the
// folders, registry values and uninstall list that the reference states.
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>

#include "mksetup/tool_commands.h"
#include "mksetup/tool_error.h"
#include "package_reference_blocks.h"
#include "run_and_wait_win.h"
#include "support/test_support.h"
#include "util/win_handles.h"

namespace fs = std::filesystem;

namespace {

const char UninstallList[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

// Registry access in the 32-bit view, where both builds keep their values.
RegKey OpenView(const std::string& path, REGSAM access = KEY_READ)
{
    RegKey key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, access | KEY_WOW64_32KEY, key.receive()) !=
        ERROR_SUCCESS)
        key.reset();
    return key;
}

std::string RegString(const std::string& path, const char* name)
{
    RegKey key = OpenView(path);
    char buffer[2048];
    DWORD size = sizeof(buffer);
    DWORD type = 0;
    if (!key || RegQueryValueExA(key.get(), name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size) !=
                    ERROR_SUCCESS || type != REG_SZ)
        return "<missing>";
    return std::string(buffer, size > 0 ? size - 1 : 0);
}

DWORD RegDword(const std::string& path, const char* name)
{
    RegKey key = OpenView(path);
    DWORD value = 0xFFFFFFFF;
    DWORD size = sizeof(value);
    if (key) RegQueryValueExA(key.get(), name, nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size);
    return value;
}

// The entries of the example in the list of installed programs.
std::vector<std::string> HelloEntries()
{
    std::vector<std::string> names;
    RegKey list = OpenView(UninstallList);
    char name[512];
    for (DWORD i = 0; list; ++i) {
        DWORD length = sizeof(name);
        if (RegEnumKeyExA(list.get(), i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        if (std::string(name, length).rfind("Hello ", 0) == 0) names.emplace_back(name, length);
    }
    return names;
}

std::string ShellFolder(int id)
{
    char path[MAX_PATH] = {};
    return SUCCEEDED(SHGetFolderPathA(nullptr, id, nullptr, SHGFP_TYPE_CURRENT, path)) ? path : "";
}

void ReplaceAll(std::string& text, const std::string& from, const std::string& to)
{
    for (std::size_t at = text.find(from); !from.empty() && at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
}

// Leaves the prefix without the example's files, entries and product key, before and after the test.
struct TExampleCleanup {
    std::vector<std::string> Folders;
    std::string DesktopLink;
    void Run() const
    {
        std::error_code ignored;
        for (const std::string& folder : Folders) fs::remove_all(folder, ignored);
        DeleteFileA(DesktopLink.c_str());
        if (RegKey list = OpenView(UninstallList, KEY_ALL_ACCESS))
            for (const std::string& entry : HelloEntries()) RegDeleteTreeA(list.get(), entry.c_str());
        if (RegKey software = OpenView("SOFTWARE", KEY_ALL_ACCESS)) RegDeleteTreeA(software.get(), "Example");
    }
    ~TExampleCleanup() { Run(); }
};

} // namespace

TEST(PackageReference, ExampleInstallsAndUninstallsAsDescribed)
{
    const char* source = std::getenv("SETUP_SOURCE_DIR");
    if (!source) GTEST_SKIP() << "SETUP_SOURCE_DIR not set";
    const fs::path root(source);
    const fs::path setup = root / "dist" / (sizeof(void*) == 8 ? "win64" : "win32") / "Setup.exe";
    if (!fs::exists(setup)) GTEST_SKIP() << "no Setup.exe in dist/ yet (make builds it)";
    const auto outputs = MarkedBlocks(ReadTestFile((root / ReferenceDocument).string()), "output");
    ASSERT_EQ(outputs.count("mksetup uninst"), 1u);

    // The 32-bit view's value: "Program Files (x86)" on 64-bit Windows. A 64-bit-only
    // Wine prefix has none there, and the installer falls back to "C:\Program Files".
    std::string programFiles = RegString("SOFTWARE\\Microsoft\\Windows\\CurrentVersion", "ProgramFilesDir");
    if (programFiles == "<missing>") programFiles = "C:\\Program Files";
    const std::string pgm = programFiles + "\\Hello\\";
    const std::string data = programFiles + "\\Hello Data\\";
    const std::string desktop = ShellFolder(CSIDL_COMMON_DESKTOPDIRECTORY);
    const std::string startMenu = ShellFolder(CSIDL_COMMON_PROGRAMS) + "\\Hello";
    ASSERT_FALSE(desktop.empty());
    const TExampleCleanup cleanup{{pgm, data, startMenu}, desktop + "\\Hello.lnk"};
    cleanup.Run();

    TempDir dir;
    const fs::path example = root / "examples" / "hello";
    std::ostringstream out, err;
    ASSERT_EQ(RunTool({"build", (example / "hello.pkg").string(), "-o", dir.File("Setup-Hello.exe"), "--stub",
                       setup.string(), "--lang", (root / "examples/morvane/Setup.lng").string(), "--quiet"},
                      out, err, false),
              ExitOk)
        << err.str();
    ASSERT_EQ(RunAndWait("\"" + dir.File("Setup-Hello.exe") + "\" /S /LANG=EN"), 0);

    const std::pair<const char*, std::string> files[] = {
        {"files/readme.txt", pgm + "readme.txt"},
        {"files/docs/guide.txt", pgm + "docs\\guide.txt"},
        {"files/docs/licence.txt", pgm + "docs\\licence.txt"},
        {"files/settings.txt", data + "settings.txt"},
    };
    for (const auto& [packed, installed] : files)
        EXPECT_EQ(ReadTestFile(installed), ReadTestFile((example / packed).string())) << installed;
    EXPECT_TRUE(fs::exists(startMenu + "\\Read me.lnk"));
    EXPECT_TRUE(fs::exists(desktop + "\\Hello.lnk"));

    const std::string product = "SOFTWARE\\Example\\Hello";
    EXPECT_EQ(RegString(product, "DataPath"), data);
    EXPECT_EQ(RegString(product, "Exec"), "<missing>") << "no program file, no Exec";
    const std::vector<std::string> entries = HelloEntries();
    ASSERT_EQ(entries.size(), 1u);
    const std::string entry = std::string(UninstallList) + "\\" + entries[0];
    const std::string command = "\"" + pgm + "uninstall.exe\" /uninst \"UninstallKey=" + entries[0] + "\"";
    EXPECT_EQ(RegString(entry, "DisplayName").rfind("Hello (Installation ", 0), 0u) << RegString(entry, "DisplayName");
    EXPECT_EQ(RegString(entry, "UninstallString"), command);
    EXPECT_EQ(RegString(entry, "QuietUninstallString"), command + " /S");
    EXPECT_EQ(RegString(entry, "InstallLocation"), pgm);
    EXPECT_EQ(RegString(entry, "DisplayVersion"), "1.0");
    EXPECT_EQ(RegString(entry, "Publisher"), "Example Ltd");
    EXPECT_EQ(RegString(entry, "Readme"), pgm + "readme.txt");
    EXPECT_EQ(RegString(entry, "DisplayIcon"), "<missing>") << "no program file, no icon";
    EXPECT_EQ(RegDword(entry, "NoModify"), 1u);
    EXPECT_EQ(RegDword(entry, "NoRepair"), 1u);

    // The reference shows the list with the folder names of Windows and one registration time.
    std::ostringstream list, listErr;
    ASSERT_EQ(RunTool({"uninst", pgm + "uninstall.exe"}, list, listErr, false), ExitOk) << listErr.str();
    std::string shown = list.str();
    ReplaceAll(shown, "\r\n", "\n");
    const std::string& expected = outputs.at("mksetup uninst");
    const std::size_t keyEnd = expected.find('\n');
    ReplaceAll(shown, "UninstallKey=" + entries[0] + "\n", expected.substr(0, keyEnd + 1));
    ReplaceAll(shown, programFiles + "\\", "C:\\Program Files (x86)\\");
    ReplaceAll(shown, desktop, "C:\\Users\\Public\\Desktop");
    ReplaceAll(shown, ShellFolder(CSIDL_COMMON_PROGRAMS), "C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs");
    EXPECT_EQ(shown, expected);

    ASSERT_EQ(RunAndWait(command + " /S"), 0);
    EXPECT_TRUE(HelloEntries().empty()) << "the entry is removed";
    for (const auto& [packed, installed] : files) EXPECT_FALSE(fs::exists(installed)) << installed;
    EXPECT_FALSE(fs::exists(pgm + "docs"));
    EXPECT_FALSE(fs::exists(data)) << "emptied, so removed";
    EXPECT_FALSE(fs::exists(startMenu)) << "emptied, so removed";
    EXPECT_FALSE(fs::exists(desktop + "\\Hello.lnk"));
    EXPECT_TRUE(fs::exists(desktop)) << "a shell folder stays";
    // The uninstaller and the folder it kept go once it has ended, deleted by a copy of it.
    for (int i = 0; i < 100 && fs::exists(pgm); ++i) Sleep(100);
    EXPECT_FALSE(fs::exists(pgm)) << "uninstall.exe and the emptied program folder are gone within 10 s";
    EXPECT_EQ(RegString(product, "DataPath"), data) << "the product key stays";
}
