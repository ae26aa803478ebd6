#include "container/sections.h"

#include <gtest/gtest.h>

#include "support/test_support.h"
#include "util/file_helpers.h"

namespace {

std::string LengthBytes(std::uint32_t n)
{
    std::string bytes;
    for (int shift = 0; shift < 32; shift += 8) bytes += static_cast<char>((n >> shift) & 0xFF);
    return bytes;
}

// Loads the given bytes as if they were the program's own file.
class LoadedContainer {
public:
    explicit LoadedContainer(const std::string& fileBytes)
    {
        WriteTestFile(dir_.File("installer.exe"), fileBytes);
        UseSectionsFile(dir_.File("installer.exe"));
        LoadOwnSections();
    }
    ~LoadedContainer() { UseSectionsFile(""); }

private:
    TempDir dir_;
};

} // namespace

TEST(SectionMarker, IsScrambledNameBetweenF7Bytes)
{
    const std::string marker = MakeSectionMarker("Section:Setup.cmd");
    ASSERT_EQ(marker.size(), 19u);
    EXPECT_EQ(static_cast<unsigned char>(marker.front()), 0xF7);
    EXPECT_EQ(static_cast<unsigned char>(marker.back()), 0xF7);
    const std::string name = "Section:Setup.cmd";
    for (std::size_t i = 0; i < name.size(); ++i)
        EXPECT_EQ(static_cast<unsigned char>(marker[i + 1]), static_cast<unsigned char>(name[i] ^ 0x55)) << i;

    EXPECT_EQ(MakeSectionMarker(""), "\xF7\xF7");

    const std::string begin = MakeSection(SectionBeginningMark, "");
    ASSERT_EQ(begin.size(), 27u);
    EXPECT_EQ(begin.substr(23), std::string(4, '\0'));

    std::size_t length = 0;
    EXPECT_EQ(FindSectionMarker("abc", "nothing here", length), std::string::npos);
    EXPECT_EQ(length, 5u) << "the marker length comes back even when not found";
}

TEST(SectionLookup, FindsByContentFirstMatchWins)
{
    const std::string container = MakeSection(SectionBeginningMark, "") + MakeSection("A", "first") +
                                  MakeSection("Empty", "") + MakeSection("A", "second");
    std::string data;
    ASSERT_TRUE(FindSection("A", container, data));
    EXPECT_EQ(data, "first");
    ASSERT_TRUE(FindSection("Empty", container, data));
    EXPECT_EQ(data, "") << "N = 0 is found with empty data";
    EXPECT_FALSE(FindSection("B", container, data));
    EXPECT_EQ(data, "");

    // The data of an earlier section holds the marker of a later name: the
    // lookup searches by content and finds the false place.
    const std::string planted = MakeSectionMarker("Late") + LengthBytes(3) + "bad";
    const std::string tricky = MakeSection("Early", planted) + MakeSection("Late", "good");
    ASSERT_TRUE(FindSection("Late", tricky, data));
    EXPECT_EQ(data, "bad");
}

TEST(SectionLookup, DamagedLengthsNeverReadPastTheContainer)
{
    std::string data;
    const std::string marker = MakeSectionMarker("S");
    EXPECT_FALSE(FindSection("S", marker + "\x01\x00\x00", data)) << "length field cut short";
    EXPECT_FALSE(FindSection("S", marker, data));

    ASSERT_TRUE(FindSection("S", marker + LengthBytes(100) + "abc", data));
    EXPECT_EQ(data, "abc") << "a length past the end yields what is there";

    ASSERT_TRUE(FindSection("S", marker + LengthBytes(0x80000000u) + "abc", data));
    EXPECT_EQ(data, "") << "a negative length yields found with empty data";
    ASSERT_TRUE(FindSection("S", marker + LengthBytes(0xFFFFFFFFu) + "abc", data));
    EXPECT_EQ(data, "");

    ASSERT_TRUE(FindSection("S", marker + LengthBytes(2) + "abcdef", data));
    EXPECT_EQ(data, "ab");
}

TEST(OwnSections, SplitsAtTheBeginMarkerAndLoadsOnce)
{
    const std::string image = "MZ image bytes";
    const std::string sections = MakeSection(SectionBeginningMark, "") + MakeSection(SectionSetupCmd, "script");
    std::string data;

    UseSectionsFile("");
    EXPECT_EQ(SectionsState, NotLoaded);
    EXPECT_FALSE(GetSection(SectionSetupCmd, sections, data)) << "nothing is found before loading";

    {
        LoadedContainer loaded(image + sections);
        ASSERT_EQ(SectionsState, Loaded);
        EXPECT_EQ(OwnImagePart, image);
        EXPECT_EQ(OwnSectionPart.Bytes(), sections);
        ASSERT_TRUE(GetSection(SectionSetupCmd, OwnSectionPart, data));
        EXPECT_EQ(data, "script");
        EXPECT_FALSE(GetSection(SectionSetupBin, OwnSectionPart, data));
    }
    {
        LoadedContainer plain(image);
        ASSERT_EQ(SectionsState, Loaded);
        EXPECT_EQ(OwnImagePart, image) << "without a begin marker the whole file is the image";
        EXPECT_TRUE(OwnSectionPart.empty());
    }
    {
        LoadedContainer empty("");
        EXPECT_EQ(SectionsState, NoFile);
        EXPECT_FALSE(GetSection(SectionSetupCmd, sections, data));
    }
}

TEST(OwnSections, LoadedIsFinalAndAFailureIsRetried)
{
    TempDir dir;
    const std::string file = dir.File("later.exe");
    UseSectionsFile(file);
    LoadOwnSections();
    EXPECT_EQ(SectionsState, NoFile);

    WriteTestFile(file, "img" + MakeSection(SectionBeginningMark, ""));
    LoadOwnSections();
    ASSERT_EQ(SectionsState, Loaded) << "NoFile tries again";
    EXPECT_EQ(OwnImagePart, "img");

    WriteTestFile(file, "changed");
    LoadOwnSections();
    EXPECT_EQ(OwnImagePart, "img") << "the file is read once per run";
    UseSectionsFile("");
}

TEST(OwnSections, TheRunningProgramHoldsNoMarker)
{
    UseSectionsFile("");
    LoadOwnSections();
    ASSERT_EQ(SectionsState, Loaded);
    EXPECT_TRUE(OwnSectionPart.empty()) << "a program without sections has no begin marker in its image";
    EXPECT_EQ(OwnImagePart.size(), OwnFileSize);
}

TEST(OwnSections, LargeContainersAreSearchedAndReadInPieces)
{
    // The search works in pieces: a marker across the border of two pieces,
    // data longer than a piece and a length cut at the end must come out as
    // from a container held whole.
    const std::size_t piece = SectionSearchPiece;
    const std::string image(piece - 7, 'i');
    const std::string big = MakeTestBytes(3 * piece + 11, false, 5);
    const std::string container = MakeSection(SectionBeginningMark, "") + MakeSection("Big", big) +
                                  MakeSection(SectionSetupCmd, "script") + MakeSectionMarker("Cut") + std::string("\x10\x00\x00\x00", 4) + "abc";
    LoadedContainer loaded(image + container);
    ASSERT_EQ(SectionsState, Loaded);
    EXPECT_EQ(OwnImagePart, image) << "the begin marker crosses the first piece's end";
    EXPECT_EQ(OwnFileSize, image.size() + container.size());
    ASSERT_EQ(OwnSectionPart.size(), container.size());
    std::string data;
    ASSERT_TRUE(GetSection("Big", OwnSectionPart, data));
    EXPECT_TRUE(data == big) << "data over several pieces, size " << data.size();
    ASSERT_TRUE(GetSection(SectionSetupCmd, OwnSectionPart, data)) << "a marker behind the large data";
    EXPECT_EQ(data, "script");
    std::uint64_t position = 0;
    std::uint64_t length = 0;
    ASSERT_TRUE(GetSectionPlace("Cut", OwnSectionPart, position, length));
    EXPECT_EQ(length, 3u) << "a stored length running past the end is cut there";
    EXPECT_EQ(position + length, OwnSectionPart.size());
    ASSERT_TRUE(GetSectionPlace("Big", OwnSectionPart, position, length));
    EXPECT_EQ(length, big.size());
    ASSERT_TRUE(OwnSectionPart.Read(position + big.size() - 4, 100, data));
    EXPECT_EQ(data, big.substr(big.size() - 4) + container.substr(position + big.size(), 96))
        << "a read gives what lies there";
    EXPECT_FALSE(GetSectionPlace("Absent", OwnSectionPart, position, length));
    EXPECT_EQ(OwnSectionPart.Find("script", 0), container.find("script"));
    EXPECT_EQ(OwnSectionPart.Find("script", container.find("script") + 1), TSectionPart::NotFound);
}
