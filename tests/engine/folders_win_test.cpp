#include "engine/folders.h"

#include <windows.h>

#include <gtest/gtest.h>

#include "engine/engine_state.h"
#include "support/test_support.h"
#include "util/win_handles.h"

namespace {

const char* const CurrentVersionKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion";

// Sets or deletes a string value of HKEY_LOCAL_MACHINE\...\CurrentVersion in the
// 32-bit view and puts the old state back at the end.
class ScopedCurrentVersionValue {
public:
    explicit ScopedCurrentVersionValue(const char* name) : name_(name)
    {
        RegOpenKeyExA(HKEY_LOCAL_MACHINE, CurrentVersionKey, 0, KEY_READ | KEY_WRITE | KEY_WOW64_32KEY,
                      key_.receive());
        DWORD type = 0;
        DWORD size = 0;
        if (key_ && RegQueryValueExA(key_.get(), name_, nullptr, &type, nullptr, &size) == ERROR_SUCCESS) {
            old_.resize(size);
            existed_ = RegQueryValueExA(key_.get(), name_, nullptr, &type,
                                        reinterpret_cast<BYTE*>(old_.data()), &size) == ERROR_SUCCESS;
            oldType_ = type;
        }
    }
    ~ScopedCurrentVersionValue()
    {
        if (!key_) return;
        if (existed_)
            RegSetValueExA(key_.get(), name_, 0, oldType_, reinterpret_cast<const BYTE*>(old_.data()),
                           static_cast<DWORD>(old_.size()));
        else
            RegDeleteValueA(key_.get(), name_);
    }
    bool Set(const std::string& value, DWORD type = REG_SZ)
    {
        return key_ && RegSetValueExA(key_.get(), name_, 0, type, reinterpret_cast<const BYTE*>(value.c_str()),
                                      static_cast<DWORD>(value.size() + 1)) == ERROR_SUCCESS;
    }
    bool Remove()
    {
        if (!key_) return false;
        const LONG result = RegDeleteValueA(key_.get(), name_);
        return result == ERROR_SUCCESS || result == ERROR_FILE_NOT_FOUND;
    }

private:
    const char* name_;
    RegKey key_;
    bool existed_ = false;
    DWORD oldType_ = REG_SZ;
    std::string old_;
};

class FoldersTest : public ::testing::Test {
protected:
    void SetUp() override { ResetEngineState(); }
    void TearDown() override { ResetEngineState(); }
    TempDir dir_;
};

} // namespace

TEST_F(FoldersTest, EnsureFolderCreatesTheChainAndRecordsOnlyTheFolderOnce)
{
    const std::string x = dir_.File("x");
    const std::string y = x + "\\y";
    ASSERT_FALSE(IsFolder(x));
    ASSERT_TRUE(EnsureFolder(y + "\\"));
    EXPECT_TRUE(IsFolder(x));
    EXPECT_TRUE(IsFolder(y));
    ASSERT_EQ(Engine.CreatedFolders, std::vector<std::string>{y}) << "only the folder handed over, no final \\";

    std::string otherCase = y;
    for (char& c : otherCase) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    EXPECT_TRUE(EnsureFolder(otherCase));
    EXPECT_EQ(Engine.CreatedFolders.size(), 1u) << "a recorded folder in another letter case is not added again";

    EXPECT_TRUE(EnsureFolder(dir_.Path().string())) << "an existing folder is fine";
    EXPECT_EQ(Engine.CreatedFolders.size(), 2u) << "and is recorded as well";
    EXPECT_EQ(Engine.CreatedFolders.front(), dir_.Path().string()) << "the list stays sorted";

    EXPECT_FALSE(EnsureFolder("\\"));
    EXPECT_FALSE(EnsureFolder(""));
    EXPECT_EQ(Engine.CreatedFolders.size(), 2u);
}

TEST_F(FoldersTest, EnsureFolderForgetsWhatAResetOrAnotherListDropped)
{
    const std::string a = dir_.File("a");
    ASSERT_TRUE(EnsureFolder(a));
    ASSERT_TRUE(RemoveDirectoryA(a.c_str()));
    ResetEngineState();
    ASSERT_TRUE(EnsureFolder(a));
    EXPECT_TRUE(IsFolder(a)) << "after a reset the folder is made again, not taken from memory";
    EXPECT_EQ(Engine.CreatedFolders, std::vector<std::string>{a});

    const std::string b = dir_.File("b");
    ASSERT_TRUE(EnsureFolder(b));
    ASSERT_TRUE(RemoveDirectoryA(b.c_str()));
    Engine.CreatedFolders = {a, dir_.File("c")}; // same count, another list
    ASSERT_TRUE(EnsureFolder(b + "\\"));
    EXPECT_TRUE(IsFolder(b)) << "a folder missing from the list is made again";
    EXPECT_EQ(Engine.CreatedFolders.size(), 3u);
}

TEST_F(FoldersTest, FolderCreationFailsBehindAFile)
{
    const std::string blocker = dir_.File("blocker");
    WriteTestFile(blocker, "file");
    EXPECT_FALSE(IsFolder(blocker)) << "a file is no folder";
    EXPECT_FALSE(IsFolder(dir_.File("missing")));
    EXPECT_TRUE(IsFolder(dir_.Path().string() + "\\"));
    EXPECT_FALSE(CreateFolderChain(blocker + "\\a\\b"));
    EXPECT_FALSE(EnsureFolder(blocker + "\\a"));
    EXPECT_TRUE(Engine.CreatedFolders.empty()) << "a folder that could not be made is not recorded";
    EXPECT_TRUE(CreateFolderChain("C:")) << "paths shorter than 3 characters count as present";
}

TEST_F(FoldersTest, ProgramFilesFolderReadsTheRegistryThenFallsBack)
{
    ScopedCurrentVersionValue dir("ProgramFilesDir");
    ScopedCurrentVersionValue path("ProgramFilesPath");
    // Set in the 32-bit view only: the 64-bit view of a 64-bit system keeps its own value.
    ASSERT_TRUE(dir.Set("E:\\Apps"));
    EXPECT_EQ(ProgramFilesFolder(), "E:\\Apps\\") << "read from the 32-bit view";
    ASSERT_TRUE(dir.Set("E:\\Apps\\"));
    EXPECT_EQ(ProgramFilesFolder(), "E:\\Apps\\") << "no second backslash";
    ASSERT_TRUE(dir.Remove());
    ASSERT_TRUE(path.Set("F:\\Path"));
    EXPECT_EQ(ProgramFilesFolder(), "F:\\Path\\") << "\"ProgramFilesPath\" when \"ProgramFilesDir\" is missing";
    ASSERT_TRUE(path.Set("%ProgramFiles%", REG_EXPAND_SZ));
    char expanded[MAX_PATH] = {};
    ASSERT_GT(ExpandEnvironmentStringsA("%ProgramFiles%", expanded, MAX_PATH), 0u);
    ASSERT_EQ(std::string(expanded).find('%'), std::string::npos) << "the variable exists";
    EXPECT_EQ(ProgramFilesFolder(), std::string(expanded) + "\\") << "its stored form names a variable";
    ASSERT_TRUE(path.Remove());
    ASSERT_FALSE(IsFolder("C:\\Programme\\"));
    EXPECT_EQ(ProgramFilesFolder(), "C:\\Program Files\\") << "neither value present";
}

TEST_F(FoldersTest, CommonFoldersComeFromTheShell)
{
    const std::string desktop = CommonDesktopFolder();
    ASSERT_FALSE(desktop.empty());
    EXPECT_NE(desktop.back(), '\\');
    EXPECT_EQ(desktop, SpecialFolder(25));
    const std::string programs = CommonProgramsFolder();
    ASSERT_FALSE(programs.empty());
    EXPECT_NE(programs.back(), '\\');
    EXPECT_NE(programs, desktop);
    EXPECT_EQ(SpecialFolder(-1), "") << "an unknown folder id gives nothing";
}
