#include "lang/wide_string_list.h"

#include <gtest/gtest.h>

#include <vector>

using namespace std::string_literals;

#include "lang_test_support.h"
#include "support/test_support.h"

namespace {

std::vector<WideString> Entries(const TWStringList& list)
{
    std::vector<WideString> entries;
    for (int i = 0; i < list.Count(); ++i) entries.push_back(list.GetW(i));
    return entries;
}

std::vector<WideString> Parse(const std::string& bytes, TextEncoding def, ParseResult expected)
{
    TWStringList list;
    list.AddW(u"left over");
    EXPECT_EQ(ParseBytes(bytes.data(), static_cast<std::int64_t>(bytes.size()), def, list), expected);
    return Entries(list);
}

std::vector<WideString> ParseMarked(const WideString& text)
{
    return Parse(Utf16FileBytes(text), TextEncoding::None, ParseResult::Parsed);
}

} // namespace

TEST(ParseBytes, LineBreakRules)
{
    const std::vector<WideString> two{u"Erste Zeile", u"Zweite Zeile"};
    EXPECT_EQ(ParseMarked(u"Erste Zeile\r\nZweite Zeile\r\n"), two) << "CR LF, final break adds nothing";
    EXPECT_EQ(ParseMarked(u"Erste Zeile\nZweite Zeile"), two) << "LF, no final break";
    EXPECT_EQ(ParseMarked(u"Erste Zeile\rZweite Zeile\r"), two) << "CR";
    EXPECT_EQ(ParseMarked(u"Erste Zeile\n\rZweite Zeile\n\r"), two) << "LF CR";
    EXPECT_EQ(ParseMarked(u"Erste Zeile\r\n\r\nZweite Zeile"),
              (std::vector<WideString>{u"Erste Zeile", u"", u"Zweite Zeile"}));
    EXPECT_EQ(ParseMarked(u"a\r\rb\n\nc"), (std::vector<WideString>{u"a", u"", u"b", u"", u"c"}))
        << "CR CR and LF LF give an empty line between";
    EXPECT_EQ(ParseMarked(u"\r\nA"), (std::vector<WideString>{u"", u"A"})) << "leading break";
    EXPECT_EQ(ParseMarked(u"A\r\n\r\n"), (std::vector<WideString>{u"A", u""}));
    // U+0D0A and U+0A0D contain the bytes of CR and LF but are ordinary characters.
    EXPECT_EQ(ParseMarked(u"a\u0D0Ab\u0A0D"), (std::vector<WideString>{u"a\u0D0Ab\u0A0D"}));
}

TEST(ParseBytes, MarksAndDefaults)
{
    const std::string unmarked = WideToUtf16LeBytes(u"eins\r\nzwei");
    EXPECT_TRUE(Parse(unmarked, TextEncoding::None, ParseResult::NoMark).empty());
    EXPECT_EQ(Parse(unmarked, TextEncoding::Utf16LE, ParseResult::Parsed),
              (std::vector<WideString>{u"eins", u"zwei"}));
    EXPECT_TRUE(Parse("\xEF\xBB\xBF" "abc\r\n", TextEncoding::None, ParseResult::Unsupported).empty());
    EXPECT_TRUE(Parse("\xFE\xFF\0a"s, TextEncoding::Utf16LE, ParseResult::Unsupported).empty());
    EXPECT_TRUE(Parse("\x00\x00\xFE\xFF\x00\x00\x00\x61"s, TextEncoding::None, ParseResult::Unsupported).empty());
    // FF FE 00 00 is the UTF-32 mark even for UTF-16 text whose first character is U+0000.
    EXPECT_TRUE(Parse("\xFF\xFE\x00\x00\x61\x00"s, TextEncoding::None, ParseResult::Unsupported).empty());
    EXPECT_TRUE(Parse("", TextEncoding::None, ParseResult::Parsed).empty());
    // An odd last byte is ignored.
    EXPECT_EQ(Parse("\xFF\xFE" "a\0b\0c"s, TextEncoding::None, ParseResult::Parsed), (std::vector<WideString>{u"ab"}));
}

TEST(ByteOrderMarks, DetectAndBytesToWide)
{
    const auto detect = [](const std::string& b) { return DetectByteOrderMark(b.data(), b.size()); };
    EXPECT_EQ(detect("\xFF").encoding, TextEncoding::None);
    EXPECT_EQ(detect("\xFF\xFE").encoding, TextEncoding::Utf16LE);
    EXPECT_EQ(detect("\xFF\xFE\x00"s).length, 2u) << "three bytes cannot be the UTF-32 mark";
    EXPECT_EQ(detect("\xFF\xFE\x00\x00"s).encoding, TextEncoding::Utf32LE);
    EXPECT_EQ(detect("\xEF\xBB\xBF").length, 3u);
    EXPECT_EQ(detect("\xFE\xFFxx").encoding, TextEncoding::Utf16BE);

    EXPECT_EQ(BytesToWide("\xEF\xBB\xBF" "Gr\xC3\xBC\xC3\x9F" "e"), u"Grüße") << "UTF-8, no U+FEFF in front";
    EXPECT_EQ(BytesToWide("\xFF\xFE" "D\0E\0="s), u"DE") << "odd last byte dropped";
    EXPECT_EQ(BytesToWide("D\0E\0"s), u"DE") << "no mark: UTF-16 LE";
    EXPECT_EQ(BytesToWide("\xFE\xFF\0D"s), u"");
    EXPECT_EQ(BytesToWide(""), u"");
}

TEST(WStringList, IndexRulesAndGrowth)
{
    TWStringList list;
    int marker = 0;
    EXPECT_EQ(list.AddW(u"b"), 0);
    list.InsertW(0, u"a", &marker);
    list.InsertW(2, u"c");   // at count: appends
    list.InsertW(4, u"x");   // beyond count: refused
    list.InsertW(-1, u"x");
    EXPECT_EQ(Entries(list), (std::vector<WideString>{u"a", u"b", u"c"}));
    EXPECT_EQ(list.ObjectAt(0), &marker);
    EXPECT_EQ(list.GetW(3), u"");
    EXPECT_EQ(list.GetW(-1), u"");
    EXPECT_EQ(list.ObjectAt(7), nullptr);
    list.PutW(3, u"x");
    list.SetObjectAt(-1, &marker);
    list.Delete(3);
    list.Exchange(0, 3);
    EXPECT_EQ(Entries(list), (std::vector<WideString>{u"a", u"b", u"c"})) << "out-of-range writes change nothing";

    list.Move(0, 2);
    EXPECT_EQ(Entries(list), (std::vector<WideString>{u"b", u"c", u"a"}));
    EXPECT_EQ(list.ObjectAt(2), &marker) << "the object moves with its text";
    list.Exchange(0, 1);
    list.Delete(2);
    EXPECT_EQ(Entries(list), (std::vector<WideString>{u"c", u"b"}));

    list.Clear();
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(list.Capacity(), 0);
    std::vector<int> capacities;
    for (int i = 0; i < 101; ++i) {
        list.AddW(u"x");
        if (capacities.empty() || capacities.back() != list.Capacity()) capacities.push_back(list.Capacity());
    }
    // +4 up to 8, +16 above 8, a quarter above 64.
    EXPECT_EQ(capacities, (std::vector<int>{4, 8, 12, 28, 44, 60, 76, 95, 118}));
}

TEST(WStringList, TextsInAndOut)
{
    InitMultiLingua(0x0407, 1252);
    TWStringList list;
    EXPECT_EQ(list.GetWideText(true), u"") << "an empty list has no mark either";
    list.AddW(u"A");
    list.AddW(u"B");
    EXPECT_EQ(list.GetWideText(true), u"\xFEFF" u"A\r\nB\r\n");
    EXPECT_EQ(list.GetWideText(false), u"A\r\nB\r\n");

    list.SetWideText(u"\xFEFF" u"eins\r\nzwei");
    EXPECT_EQ(Entries(list), (std::vector<WideString>{u"eins", u"zwei"})) << "a leading U+FEFF is a mark";

    // 8-bit text: CR LF, CR and LF end a line, LF CR is two breaks, a zero ends the text.
    list.SetText("f\xFCr\r\nzwei\rdrei\n\rvier\0f\xFCnf"s);
    EXPECT_EQ(Entries(list), (std::vector<WideString>{u"für", u"zwei", u"drei", u"", u"vier"}));
    EXPECT_EQ(list.Get(0), "f\xFCr");
    list.SetText(Utf16FileBytes(u"\u0141\u00F3d\u017A\r\n"));
    EXPECT_EQ(Entries(list), (std::vector<WideString>{u"\u0141\u00F3d\u017A"})) << "UTF-16 text keeps every character";
    list.SetText("\xEF\xBB\xBF" "abc");
    EXPECT_EQ(list.Count(), 0) << "another mark leaves the list empty";

    TWStringList other;
    other.AddW(u"\u0141\u00F3d\u017A");
    list.AddStrings(other);
    list.AddStrings(std::vector<std::string>{"M\xE4rz"});
    EXPECT_EQ(Entries(list), (std::vector<WideString>{u"\u0141\u00F3d\u017A", u"März"}));
}

TEST(WStringList, LoadWideLines)
{
    InitMultiLingua(0x0407, 1252);
    TempDir dir;
    TWStringList list;
    EXPECT_FALSE(LoadWideLines(dir.File("x.txt"), nullptr));

    WriteTestFile(dir.File("ansi.txt"), "Gr\xFC\xDF" "e\r\nzweite Zeile\r\n");
    ASSERT_TRUE(LoadWideLines(dir.File("ansi.txt"), &list));
    EXPECT_EQ(Entries(list), (std::vector<WideString>{u"Grüße", u"zweite Zeile"}));

    WriteTestFile(dir.File("wide.txt"), Utf16FileBytes(u"DE=Ja\r\nEN=Yes"));
    ASSERT_TRUE(LoadWideLines(dir.File("wide.txt"), &list));
    EXPECT_EQ(Entries(list), (std::vector<WideString>{u"DE=Ja", u"EN=Yes"}));

    WriteTestFile(dir.File("utf8.txt"), "\xEF\xBB\xBF" "DE=Ja\r\n");
    EXPECT_FALSE(LoadWideLines(dir.File("utf8.txt"), &list));
    EXPECT_EQ(list.Count(), 0);
    WriteTestFile(dir.File("empty.txt"), "");
    EXPECT_FALSE(LoadWideLines(dir.File("empty.txt"), &list));
    EXPECT_FALSE(LoadWideLines(dir.File("missing.txt"), &list));
}
