#include "engine/extraction.h"

#include <windows.h>

#include <algorithm>
#include <memory>

#include <gtest/gtest.h>

#include "container/zlib_wrapper.h"
#include "engine/deferred_closes.h"
#include "engine/engine_state.h"
#include "support/test_support.h"
#include "util/file_replace.h"
#include "util/win_handles.h"

namespace {

class ExtractionTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetEngineState();
        Engine.QuietErrors = true;
        Engine.PgmPath = dir_.Path().string() + "\\";
    }
    void TearDown() override { ResetEngineState(); }

    bool Save(const std::string& line, bool keepExisting = false)
    {
        return SaveCommand(SplitCommaText(line), payload_, keepExisting);
    }
    std::string Target(const std::string& name) const { return dir_.File(name); }

    TempDir dir_;
    TPayload payload_;
};

} // namespace

TEST_F(ExtractionTest, StoredAndCompressedPiecesFollowEachOther)
{
    const std::string stored = MakeTestBytes(3000, false, 1);
    const std::string original = MakeTestBytes(20000, true, 2);
    const std::string compressed = CompressString(original, LevelDefault);
    const std::string last = MakeTestBytes(17, false, 3);
    payload_.Data = stored + compressed + last;

    ASSERT_TRUE(Save("action=save,OrigLen=3000,Filename=*PgmPath*\\a.bin")) << Engine.ErrorText;
    // OrigLen is only a statement: the decompressed size is what gets written.
    ASSERT_TRUE(Save("action=save,OrigLen=5,ComprLen=" + std::to_string(compressed.size()) +
                     ",Filename=*PgmPath*\\Sub\\Deeper\\b.txt"))
        << Engine.ErrorText;
    ASSERT_TRUE(Save("action=save,OrigLen=17,Filename=*PgmPath*\\c.bin")) << Engine.ErrorText;

    EXPECT_EQ(ReadTestFile(Target("a.bin")), stored);
    EXPECT_EQ(ReadTestFile(Target("Sub\\Deeper\\b.txt")), original);
    EXPECT_EQ(ReadTestFile(Target("c.bin")), last);
    EXPECT_EQ(payload_.Position, payload_.Data.size());
    EXPECT_EQ(Engine.WrittenFiles, (std::vector<std::string>{Target("a.bin"), Target("Sub\\Deeper\\b.txt"),
                                                             Target("c.bin")}));
    EXPECT_EQ(Engine.CreatedFolders, (std::vector<std::string>{dir_.Path().string(), Target("Sub\\Deeper")}))
        << "the folders handed to the folder creation, not the parents made on the way";
    EXPECT_EQ(Engine.ErrorText, "");
}

TEST_F(ExtractionTest, KeptFileStillConsumesItsPiece)
{
    WriteTestFile(Target("keep.ada"), "user data");
    const std::string piece = CompressString("shipped demo data", LevelDefault);
    payload_.Data = piece + "NEXT";
    ASSERT_TRUE(Save("action=saveifnotexists,OrigLen=17,ComprLen=" + std::to_string(piece.size()) +
                         ",Filename=*PgmPath*\\keep.ada",
                     true));
    EXPECT_EQ(ReadTestFile(Target("keep.ada")), "user data") << "an existing file stays untouched";
    EXPECT_TRUE(Engine.WrittenFiles.empty()) << "a kept file is not the installation's";
    ASSERT_TRUE(Save("action=save,OrigLen=4,Filename=*PgmPath*\\next.txt"));
    EXPECT_EQ(ReadTestFile(Target("next.txt")), "NEXT") << "the next piece starts after the kept one";

}

TEST_F(ExtractionTest, LengthFailuresNameTheExpandedFileAndKeepThePayload)
{
    payload_.Data = "0123456789";
    const std::string name = Target("f.txt");
    EXPECT_FALSE(Save("action=save,OrigLen=0,Filename=*PgmPath*\\f.txt"));
    EXPECT_FALSE(Save("action=save,Filename=*PgmPath*\\f.txt"));
    EXPECT_FALSE(Save("action=save,OrigLen=ten,Filename=*PgmPath*\\f.txt"));
    EXPECT_FALSE(Save("action=save,OrigLen=4,ComprLen=0,Filename=*PgmPath*\\f.txt"));
    EXPECT_FALSE(Save("action=save,OrigLen=4,ComprLen=-2,Filename=*PgmPath*\\f.txt"));
    EXPECT_FALSE(Save("action=save,OrigLen=4"));
    EXPECT_EQ(Engine.ErrorText, "OrigLen is 0 in " + name + "; OrigLen is 0 in " + name + "; OrigLen is 0 in " +
                                    name + "; ComprLen is 0 in " + name + "; ComprLen is 0 in " + name +
                                    "; no file name; ");
    EXPECT_EQ(payload_.Position, 0u) << "no length failure touches the payload";
    EXPECT_TRUE(Engine.WrittenFiles.empty());

    Engine.ErrorText.clear();
    EXPECT_FALSE(Save("action=save,OrigLen=11,Filename=*PgmPath*\\f.txt"));
    EXPECT_EQ(Engine.ErrorText, "data error in " + name + "; ");
    EXPECT_EQ(payload_.Position, 10u) << "a short piece takes what was left";
    EXPECT_EQ(GetFileAttributesA(name.c_str()), INVALID_FILE_ATTRIBUTES) << "nothing is written";

    Engine.ErrorText.clear();
    payload_ = TPayload();
    payload_.Data = "abc";
    EXPECT_FALSE(Save("action=save,OrigLen=4,ComprLen=5,Filename=*PgmPath*\\f.txt"));
    EXPECT_EQ(Engine.ErrorText, "data error in " + name + "; ");
}

TEST_F(ExtractionTest, BadCompressedPieces)
{
    const std::string empty = CompressString("", LevelDefault);
    payload_.Data = empty + "this is no zlib data";
    EXPECT_FALSE(Save("action=save,OrigLen=1,ComprLen=" + std::to_string(empty.size()) +
                      ",Filename=*PgmPath*\\empty.txt"));
    EXPECT_EQ(Engine.ErrorText, "decompress error in " + Target("empty.txt") + "; ");
    EXPECT_EQ(payload_.Position, empty.size());
    EXPECT_THROW(Save("action=save,OrigLen=5,ComprLen=20,Filename=*PgmPath*\\bad.txt"), EZDecompressionError)
        << "a piece that is no zlib stream raises";
    EXPECT_EQ(GetFileAttributesA(Target("bad.txt").c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(ExtractionTest, ReadOnlyOrLockedTargetIsAWriteError)
{
    const std::string readOnly = Target("readonly.txt");
    const std::string locked = Target("locked.txt");
    WriteTestFile(readOnly, "old");
    WriteTestFile(locked, "old");
    ASSERT_TRUE(SetFileAttributesA(readOnly.c_str(), FILE_ATTRIBUTE_READONLY));
    payload_.Data = "new!NEW!";
    EXPECT_FALSE(Save("action=save,OrigLen=4,Filename=*PgmPath*\\readonly.txt"));
    {
        // Another program holds the file open without sharing it.
        FileHandle holder(CreateFileA(locked.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(holder);
        EXPECT_FALSE(Save("action=save,OrigLen=4,Filename=*PgmPath*\\locked.txt"));
    }
    EXPECT_EQ(Engine.ErrorText, "Write Error: " + readOnly + "; Write Error: " + locked + "; ");
    EXPECT_EQ(payload_.Position, 8u) << "the pieces are consumed all the same";
    EXPECT_TRUE(Engine.WrittenFiles.empty());
    SetFileAttributesA(readOnly.c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(ReadTestFile(readOnly), "old");
    EXPECT_EQ(ReadTestFile(locked), "old");
}

TEST_F(ExtractionTest, FirstSavedExeBecomesTheMainProgram)
{
    payload_.Data = "abcdefgh";
    ASSERT_TRUE(Save("action=save,OrigLen=1,Filename=*PgmPath*\\Tool.exe.d\\readme"));
    EXPECT_EQ(Engine.MainProgram, "") << "a dot in a folder name is no extension";
    ASSERT_TRUE(Save("action=save,OrigLen=1,Filename=*PgmPath*\\Setup.EXE"));
    EXPECT_EQ(Engine.MainProgram, Target("Setup.EXE")) << "the extension test ignores letter case";
    ASSERT_TRUE(Save("action=save,OrigLen=1,Filename=*PgmPath*\\Other.exe"));
    EXPECT_EQ(Engine.MainProgram, Target("Setup.EXE")) << "a later program does not replace it";

    Engine.MainProgram.clear();
    const std::string locked = Target("Locked.exe");
    WriteTestFile(locked, "x");
    FileHandle holder(CreateFileA(locked.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(holder);
    EXPECT_FALSE(Save("action=save,OrigLen=1,Filename=*PgmPath*\\Locked.exe"));
    EXPECT_EQ(Engine.MainProgram, locked) << "set whether the write worked or not";
}

TEST_F(ExtractionTest, WriteWholeFileWritesEmptyAndReplacesLongerFiles)
{
    const std::string target = Target("New\\w.txt");
    ASSERT_TRUE(WriteWholeFile(target, std::string(5000, 'x')));
    ASSERT_TRUE(WriteWholeFile(target, "short"));
    EXPECT_EQ(ReadTestFile(target), "short") << "the old contents are gone entirely";
    ASSERT_TRUE(WriteWholeFile(Target("empty.txt"), ""));
    EXPECT_EQ(ReadTestFile(Target("empty.txt")), "");
    EXPECT_EQ(Engine.WrittenFiles, (std::vector<std::string>{target, target, Target("empty.txt")}))
        << "every write is recorded, duplicates included";
    EXPECT_FALSE(WriteWholeFile(Target("New"), "x")) << "a folder is no file";
    EXPECT_EQ(Engine.ErrorText, "Write Error: " + Target("New") + "; ");
}

TEST_F(ExtractionTest, ClosingThreadsReportAFailedMoveAndFinishEveryFile)
{
    const std::string locked = Target("locked.txt");
    const std::string twice = Target("Sub\\twice.txt");
    WriteTestFile(locked, "old");
    {
        FileHandle holder(CreateFileA(locked.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(holder);
        TDeferredCloses closes;
        ASSERT_TRUE(WriteWholeFile(twice, "first"));
        ASSERT_TRUE(WriteWholeFile(twice, "second")) << "waits for the first write to be in place";
        // A kept file written earlier in the run counts as existing once it is in place.
        payload_.Data = "firstother";
        ASSERT_TRUE(Save("action=saveifnotexists,OrigLen=5,Filename=*PgmPath*\\kept.ini", true));
        ASSERT_TRUE(Save("action=saveifnotexists,OrigLen=5,Filename=*PgmPath*\\kept.ini", true)) << Engine.ErrorText;
        EXPECT_TRUE(WriteWholeFile(locked, "new")) << "the move over the held file fails later, on a closing thread";
        EXPECT_FALSE(FinishPendingWrites());
    }
    EXPECT_EQ(Engine.ErrorText, "Write Error: " + locked + "; ");
    EXPECT_EQ(Engine.WrittenFiles, (std::vector<std::string>{twice, twice, Target("kept.ini")}))
        << "the failed file is taken out again";
    EXPECT_EQ(ReadTestFile(twice), "second");
    EXPECT_EQ(ReadTestFile(Target("kept.ini")), "first");
    EXPECT_EQ(ReadTestFile(locked), "old");
    for (const std::string& folder : {dir_.Path().string(), Target("Sub")}) {
        WIN32_FIND_DATAA found;
        const HANDLE search = FindFirstFileA((folder + "\\~st*").c_str(), &found);
        EXPECT_EQ(search, INVALID_HANDLE_VALUE) << "a temporary is left: " << found.cFileName;
        if (search != INVALID_HANDLE_VALUE) FindClose(search);
    }
}

TEST_F(ExtractionTest, StreamedPayloadGivesItsPiecesAndAShortOneConsumesTheRest)
{
    const std::string stored = MakeTestBytes(5000, false, 21);
    const std::string original = MakeTestBytes(40000, true, 22);
    const std::string compressed = CompressString(original, LevelDefault);
    const std::string stream = CompressString(stored + compressed + "tail", LevelFastest);
    auto next = std::make_shared<std::size_t>(0);
    payload_.Stream = std::make_shared<TInflateStream>([stream, next](char* buffer, std::size_t capacity) {
        const std::size_t count = std::min<std::size_t>({capacity, 333, stream.size() - *next});
        std::copy_n(stream.data() + *next, count, buffer);
        *next += count;
        return count;
    });
    payload_.StreamLeft = stored.size() + compressed.size() + 4;

    ASSERT_TRUE(Save("action=save,OrigLen=5000,Filename=*PgmPath*\\a.bin")) << Engine.ErrorText;
    ASSERT_TRUE(Save("action=save,OrigLen=1,ComprLen=" + std::to_string(compressed.size()) +
                     ",Filename=*PgmPath*\\B.txt"))
        << Engine.ErrorText;
    EXPECT_TRUE(ReadTestFile(Target("a.bin")) == stored);
    EXPECT_TRUE(ReadTestFile(Target("B.txt")) == original);
    EXPECT_EQ(PayloadBytesLeft(payload_), 4u);
    std::uint64_t size = 0;
    ASSERT_TRUE(WrittenSizeOf(Target("b.TXT"), size)) << "the written size is known in any letter case";
    EXPECT_EQ(size, original.size());
    EXPECT_FALSE(WrittenSizeOf(Target("c.bin"), size));

    EXPECT_FALSE(Save("action=save,OrigLen=5,Filename=*PgmPath*\\c.bin"));
    EXPECT_EQ(Engine.ErrorText, "data error in " + Target("c.bin") + "; ");
    EXPECT_EQ(PayloadBytesLeft(payload_), 0u) << "a short piece takes what was left";
    EXPECT_EQ(GetFileAttributesA(Target("c.bin").c_str()), INVALID_FILE_ATTRIBUTES);

    ResetEngineState();
    EXPECT_FALSE(WrittenSizeOf(Target("a.bin"), size)) << "a new installation starts with no sizes";
}
