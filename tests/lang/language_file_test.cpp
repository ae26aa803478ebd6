#include "lang/ml_system.h"

#include <gtest/gtest.h>

#include "lang/ml_startup.h"
#include "lang_test_support.h"
#include "support/test_support.h"

namespace {

class LanguageFile : public ::testing::Test {
protected:
    void SetUp() override { InitMultiLingua(0x0407, 1252); }
    void TearDown() override { DoneMultiLingua(); }

    tMLSystem& Load(const WideString& text, bool keepLines = true)
    {
        LoadFromWideText(text, keepLines);
        return *MLSystem;
    }
    std::string Text(int group, const LngCode& code) { return MLSystem->Groups.at(group)->GetTextByCode(code); }
    std::size_t GroupCount() { return MLSystem->Groups.size(); }
};

} // namespace

TEST_F(LanguageFile, KeysValuesAndIds)
{
    Load(u"  de = Abbrechen  \r\n"
         u"EN=Cancel\r\n"
         u"EN=Abort\r\n"                 // the later line of a language wins
         u"\r\n"
         u"DE3=Drei\r\n"
         u"\r\n"
         u"DE0=Null\r\n"
         u"EN=Zero\r\n"
         u"\r\n"
         u"DE=\r\n"                      // an empty text still makes a group
         u"\r\n"
         u"DEUTSCH=Lang\r\n"             // a long key counts as its first three capitals
         u"ABCDEFGHIJKLMNOP7=Cut\r\n"    // the 16th character onwards does not count
         u"X=single letter\r\n"
         u"=no key\r\n"
         u"no equals sign\r\n"
         u"/x=slash line\r\n");
    ASSERT_EQ(GroupCount(), 5u);
    EXPECT_EQ(Text(0, "DE"), "Abbrechen") << "small letters and blanks around key and value";
    EXPECT_EQ(Text(0, "EN"), "Abort");
    EXPECT_EQ(MLSystem->Groups[0]->Id, 0);
    EXPECT_EQ(Text(1, "DE"), "Drei");
    EXPECT_EQ(MLSystem->Groups[1]->Id, 3);
    EXPECT_EQ(Text(2, "DE"), "") << "DE0 stores nothing";
    EXPECT_EQ(Text(2, "EN"), "Zero");
    EXPECT_EQ(MLSystem->Groups[2]->Id, 0);
    EXPECT_EQ(Text(3, "DE"), "");
    EXPECT_EQ(Text(4, "DEU"), "Lang");
    EXPECT_EQ(Text(4, "ABC"), "Cut");
    EXPECT_EQ(MLSystem->Groups[4]->Id, -1) << "the '/' line sets the id -1";
    EXPECT_EQ(MLSystem->IndexOfLanguage("X"), -1);
    EXPECT_EQ(MLSystem->Languages.size(), 4u) << "DE, EN, DEU, ABC";
    EXPECT_EQ(MLSystem->Groups[0]->Lines->GetW(0), u"de = Abbrechen") << "the trimmed source line";
}

TEST_F(LanguageFile, CommentsAndBlocks)
{
    Load(u"// ID=7;Name=Wert\r\n"
         u"DE=Sieben\r\n"
         u"\r\n"
         u"// id=8;\r\n"
         u"DE=Acht\r\n"
         u"\r\n"
         u"// ID=2;\r\n"
         u"// ID=neun;\r\n"              // not a number: the id stays 2, the comment is the later one
         u"DE=Zwei\r\n"
         u"\r\n"
         u"//ID=4;\r\n"                  // the first three characters are "//I": no id
         u"DE=Ohne\r\n"
         u"\r\n"
         u"// nur Kommentar\r\n"
         u"// ID=5;\r\n"
         u"\r\n\r\n\r\n"
         u"DE=Danach\r\n"
         u"EN=After");                    // no blank line at the end
    ASSERT_EQ(GroupCount(), 5u) << "the comment-only block is dropped";
    EXPECT_EQ(MLSystem->Groups[0]->Id, 7);
    EXPECT_EQ(MLSystem->Groups[0]->Comment, u"// ID=7;Name=Wert");
    EXPECT_EQ(MLSystem->Groups[1]->Id, 8) << "the name in small letters";
    EXPECT_EQ(MLSystem->Groups[2]->Id, 2);
    EXPECT_EQ(MLSystem->Groups[2]->Comment, u"// ID=neun;");
    EXPECT_EQ(MLSystem->Groups[3]->Id, 0);
    EXPECT_EQ(Text(4, "DE"), "Danach");
    EXPECT_EQ(Text(4, "EN"), "After");
    EXPECT_EQ(MLSystem->Groups[4]->Id, 0);
}

TEST_F(LanguageFile, BlankLinesAndReload)
{
    const WideString oneBlank = u"DE=Eins\r\nEN=One\r\n\r\nDE=Zwei\r\nFR=Deux\r\n";
    const WideString threeBlanks = u"\r\n\r\nDE=Eins\r\nEN=One\r\n \r\n\t\r\n\r\nDE=Zwei\r\nFR=Deux";
    Load(oneBlank);
    const std::size_t groups = GroupCount();
    Load(threeBlanks);
    EXPECT_EQ(groups, 2u);
    ASSERT_EQ(GroupCount(), groups);
    EXPECT_EQ(Text(1, "FR"), "Deux");

    Load(u"HU=Igen\r\nDE=Ja\r\n");
    ASSERT_EQ(GroupCount(), 1u) << "a second load replaces every group";
    EXPECT_EQ(MLSystem->Languages.size(), 2u) << "and every language";
    EXPECT_EQ(MLSystem->Languages[0]->Code, "HU");
    EXPECT_EQ(MLSystem->IndexOfLanguage("FR"), -1);
    EXPECT_FALSE(MLSystem->Groups[0]->Lines == nullptr);
    Load(u"DE=Ja\r\n", false);
    EXPECT_TRUE(MLSystem->Groups[0]->Lines == nullptr) << "lines only with keep-lines";
}

TEST_F(LanguageFile, LoadLngFile)
{
    TempDir dir;
    WriteTestFile(dir.File("good.lng"), Utf16FileBytes(u"DE=Ja\r\nEN=Yes\r\n"));
    WriteTestFile(dir.File("utf8.lng"), "\xEF\xBB\xBF" "DE=Nein\r\nEN=No\r\n");
    WriteTestFile(dir.File("ansi.lng"), "DE=Gr\xFC\xDF" "e\r\nEN=Greetings\r\n");

    DoneMultiLingua();
    ASSERT_TRUE(LoadLngFile(dir.File("good.lng"), true)) << "LoadLngFile creates the text system";
    EXPECT_EQ(Text(0, "EN"), "Yes");
    EXPECT_FALSE(LoadLngFile(dir.File("utf8.lng"), true));
    EXPECT_FALSE(LoadLngFile(dir.File("missing.lng"), true));
    ASSERT_EQ(GroupCount(), 1u) << "a refused file changes nothing";
    EXPECT_EQ(Text(0, "EN"), "Yes");
    ASSERT_TRUE(LoadLngFile(dir.File("ansi.lng"), true)) << "without a mark: 8-bit text";
    EXPECT_EQ(Text(0, "DE"), "Gr\xFC\xDF" "e");
}

TEST_F(LanguageFile, ExportThenLoadGivesTheSameGroups)
{
    Load(kTestLanguageText + u"\r\n\r\n// only empty texts\r\nDE=\r\nEN=\r\n");
    ASSERT_EQ(MLSystem->Groups.size(), 9u);
    const WideString exported = ExportText(*MLSystem);
    ASSERT_GE(exported.size(), 1u);
    EXPECT_EQ(exported[0], u'\xFEFF');
    const WideString head = u"// Begin of: Setup tests\r\nDE=Abbrechen\r\nEN=Cancel\r\n";
    EXPECT_EQ(exported.substr(1, head.size()), head);
    EXPECT_EQ(exported.substr(exported.size() - 4), u"\r\n\r\n") << "each block ends with an empty line";

    struct Snapshot {
        std::int32_t id;
        std::vector<std::string> texts;
        bool operator==(const Snapshot& o) const { return id == o.id && texts == o.texts; }
    };
    const auto snapshot = [] {
        std::vector<Snapshot> groups;
        for (const auto& g : MLSystem->Groups) {
            Snapshot s{g->Id, {}};
            for (const auto& lng : MLSystem->Languages) s.texts.push_back(g->GetTextByCode(lng->Code));
            groups.push_back(s);
        }
        return groups;
    };
    std::vector<Snapshot> before = snapshot();
    before.pop_back();  // the block with only empty texts is not exported
    Load(exported);
    EXPECT_TRUE(snapshot() == before) << "groups, texts and ids survive export and load";
    EXPECT_EQ(ExportText(*MLSystem), exported);

    Load(u"// nothing\r\n");
    EXPECT_EQ(ExportText(*MLSystem), u"") << "no lines, no mark";
}
