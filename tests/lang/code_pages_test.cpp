#include "lang/code_pages.h"

#include <gtest/gtest.h>

using namespace std::string_literals;

TEST(CodePages, ConvertsBothWays)
{
    EXPECT_EQ(AnsiToWide("Gr\xFC\xDF" "e \x80", 1252), u"Grüße €");
    EXPECT_EQ(AnsiToWide("\xA3\xF3" "d\x9F", 1250), u"Łódź");
    EXPECT_EQ(AnsiToWide("\xCF\xF0\xE8\xE2\xE5\xF2", 1251), u"Привет");
    EXPECT_EQ(WideToAnsi(u"Łódź – „x”", 1250), "\xA3\xF3" "d\x9F \x96 \x84x\x94");
    EXPECT_EQ(WideToAnsi(u"Привет", 1251), "\xCF\xF0\xE8\xE2\xE5\xF2");
    EXPECT_EQ(WideToAnsi(u"Ελλάδα", 1253), "\xC5\xEB\xEB\xDC\xE4\xE1");
    // Bytes that Windows-1252 leaves undefined become the control characters of the same number.
    EXPECT_EQ(AnsiToWide("\x81\x8D\x8F\x90\x9D", 1252), u"\u0081\u008D\u008F\u0090\u009D");
    EXPECT_EQ(WideToAnsi(u"\u0081", 1252), "\x81");
}

TEST(CodePages, EmptyAndRefusedInput)
{
    EXPECT_EQ(AnsiToWide("", 1252), u"");
    EXPECT_EQ(WideToAnsi(u"", 1252), "");
    EXPECT_EQ(AnsiToWide("abc", 4711), u"") << "unknown code page";
    EXPECT_EQ(WideToAnsi(u"abc", 4711), "");
    EXPECT_EQ(WideToAnsi(u"ab\0cd"s, 1252), "ab") << "the input ends at its first zero";
    EXPECT_EQ(WideToAnsi(u"\0cd"s, 1252), "");
    EXPECT_EQ(Utf8ToWide("a\xFF" "b"), u"a\uFFFDb");
}

TEST(CodePages, CharactersTheCodePageLacks)
{
#ifdef _WIN32
    // Windows' best-fit tables give a similar character, else the default '?'.
    EXPECT_EQ(WideToAnsi(u"Łódź", 1252), "L\xF3" "dz");
    EXPECT_EQ(WideToAnsi(u"Español", 1250), "Espanol");
    EXPECT_EQ(WideToAnsi(u"Ж", 1252), "?");
    // WC_COMPOSITECHECK joins a letter and its combining mark.
    EXPECT_EQ(WideToAnsi(u"e\u0301", 1252), "\xE9");
#else
    // iconv has no best-fit tables: every missing character becomes '?'.
    EXPECT_EQ(WideToAnsi(u"Łódź", 1252), "?\xF3" "d?");
    EXPECT_EQ(WideToAnsi(u"Español", 1250), "Espa?ol");
    EXPECT_EQ(WideToAnsi(u"Ж", 1252), "?");
    EXPECT_EQ(WideToAnsi(u"e\u0301", 1252), "e?");
#endif
    // One '?' per UTF-16 unit on both sides.
    EXPECT_EQ(WideToAnsi(u"\U0001F600x", 1252), "??x");
    EXPECT_EQ(WideToAnsi(u"\xD83Dx", 1252), "?x") << "a lone surrogate";
}
