#include "util/file_replace.h"

#include <windows.h>

#include <cstdio>

#include <gtest/gtest.h>

#include "support/test_support.h"

namespace {

bool Exists(const std::string& path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// folder extended by subfolders (made on the way) to exactly length characters.
std::string FolderOfLength(std::string folder, std::size_t length)
{
    CreateDirectoryA(folder.c_str(), nullptr);
    while (folder.size() < length - 40) {
        folder += "\\" + std::string(30, 'd');
        CreateDirectoryA(folder.c_str(), nullptr);
    }
    folder += "\\" + std::string(length - folder.size() - 1, 'e');
    CreateDirectoryA(folder.c_str(), nullptr);
    return folder;
}

} // namespace

TEST(FileReplace, TemporariesHaveOneShortPattern)
{
    EXPECT_EQ(TemporaryName(0x1F), "~st0001F");
    EXPECT_EQ(TemporaryName(0x123456), "~st23456") << "five digits";
    EXPECT_TRUE(IsTemporaryName("~ST0a1b2"));
    for (const char* other : {"~st0001", "~st000001", "~st0001G", "^st00001", "x.txt.~setup", "~st00001.txt"})
        EXPECT_FALSE(IsTemporaryName(other)) << other;
}

TEST(FileReplace, ReplacesFilesWhosePathsFillMaxPath)
{
    TempDir dir;
    // The longest folder CreateDirectoryA makes (248 characters) and a name up to 259.
    const std::string target = FolderOfLength(dir.Path().string(), 248) + "\\abcdef.txt";
    ASSERT_EQ(target.size(), 259u);
    ASSERT_EQ(WriteFileSafely(target, "old", 3), static_cast<DWORD>(ERROR_SUCCESS));
    ASSERT_EQ(WriteFileSafely(target, "new!", 4), static_cast<DWORD>(ERROR_SUCCESS)) << "the replacement";
    EXPECT_EQ(ReadTestFile(target), "new!");

    // Wine makes longer folders; their short form leaves room beside a three-letter name.
    const std::string longFolder = FolderOfLength(dir.File("L"), 255);
    if (!Exists(longFolder)) {
        std::printf("no folder of 255 characters can be made here\n");
        return;
    }
    const std::string tight = longFolder + "\\a.b";
    ASSERT_EQ(tight.size(), 259u);
    WriteTestFile(tight, "old");
    EXPECT_EQ(WriteFileSafely(tight, "new!", 4), static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_EQ(ReadTestFile(tight), "new!");
}

TEST(FileReplace, ANewFileTakesItsNameOnlyWholeAndOverwritesNothing)
{
    TempDir dir;
    const std::string path = dir.File("settings.ini");
    TFileWrite write;
    ASSERT_EQ(BeginFileWrite(path, write, true), static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_FALSE(Exists(path)) << "a cut file would stand under the name";
    EXPECT_TRUE(IsTemporaryName(write.Temporary.substr(write.Temporary.rfind('\\') + 1))) << write.Temporary;
    WriteTestFile(path, "appeared meanwhile");
    EXPECT_NE(FinishFileWrite(write), static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_EQ(ReadTestFile(path), "appeared meanwhile");
    EXPECT_FALSE(Exists(write.Temporary)) << "the temporary is removed";
}

TEST(FileReplace, AReplacementKeepsAttributesAndTouchesOnlyOwnLeftoversInItsFolder)
{
    TempDir dir;
    const std::string folder = dir.File("Program");
    CreateDirectoryA(folder.c_str(), nullptr);
    WriteTestFile(folder + "\\x.txt", "old");
    SetFileAttributesA((folder + "\\x.txt").c_str(), FILE_ATTRIBUTE_HIDDEN);
    // Files of the user: one named as the old temporaries were, and one of the
    // pattern in a folder nothing is written to.
    WriteTestFile(folder + "\\x.txt.~setup", "the user's");
    WriteTestFile(dir.File(TemporaryName(5)), "outside");
    WriteTestFile(folder + "\\" + TemporaryName(5), "left by an interrupted run");
    ASSERT_EQ(WriteFileSafely(folder + "\\x.txt", "new", 3), static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_EQ(ReadTestFile(folder + "\\x.txt"), "new");
    EXPECT_TRUE(GetFileAttributesA((folder + "\\x.txt").c_str()) & FILE_ATTRIBUTE_HIDDEN)
        << "a replaced file keeps its attributes";
    EXPECT_EQ(ReadTestFile(folder + "\\x.txt.~setup"), "the user's") << "neither truncated nor removed";
    EXPECT_EQ(ReadTestFile(dir.File(TemporaryName(5))), "outside");
    EXPECT_FALSE(Exists(folder + "\\" + TemporaryName(5))) << "the leftover beside the file written goes";
}
