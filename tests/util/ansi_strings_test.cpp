#include "util/ansi_strings.h"

#include <gtest/gtest.h>

TEST(TextToInt, AcceptsDecimalAndHexFormsOverTheWholeText)
{
    EXPECT_EQ(TextToIntOrZero(" -12"), -12);
    EXPECT_EQ(TextToIntOrZero("   +7"), 7);
    EXPECT_EQ(TextToIntOrZero("012"), 12) << "a leading 0 is an ordinary digit";
    EXPECT_EQ(TextToIntOrZero("-2147483648"), INT32_MIN);
    EXPECT_EQ(TextToIntOrZero("2147483647"), INT32_MAX);
    EXPECT_EQ(TextToIntOrMinusOne("$1F"), 31);
    EXPECT_EQ(TextToIntOrMinusOne("0x1f"), 31);
    EXPECT_EQ(TextToIntOrMinusOne("X1F"), 31);
    EXPECT_EQ(TextToIntOrMinusOne("0X10"), 16);
    EXPECT_EQ(TextToIntOrMinusOne("$FFFFFFFF"), -1);
    EXPECT_EQ(TextToIntOrZero("$80000000"), INT32_MIN);
    EXPECT_EQ(TextToIntOrZero("-$10"), -16) << "a sign negates a hex number";
    EXPECT_EQ(TextToIntOrZero("0"), 0);
    EXPECT_EQ(TextToIntOrMinusOne("0"), 0);
}

TEST(TextToInt, RejectsEverythingElseWithItsFallback)
{
    for (const char* bad : {"12 ", "", "abc", "-", "+", "$", "0x", " ", "1-", "\t1", "--1", "1.0", "$1G",
                            "2147483648", "-2147483649", "$100000000", "99999999999999999999"}) {
        EXPECT_EQ(TextToIntOrZero(bad), 0) << '"' << bad << '"';
        EXPECT_EQ(TextToIntOrMinusOne(bad), -1) << '"' << bad << '"';
    }
}

TEST(ByteCutting, OutOfRangeCountsAndPositionsFallIntoTheStatedCases)
{
    EXPECT_EQ(CharAtPos("abc", 0), 0);
    EXPECT_EQ(CharAtPos("abc", 4), 0);
    EXPECT_EQ(CharAtPos("abc", -3), 0);
    EXPECT_EQ(CharAtPos("abc", 3), 'c');
    EXPECT_EQ(FirstCharOf(""), 0);
    EXPECT_EQ(FirstCharOf("xy"), 'x');
    EXPECT_EQ(LeftPart("abc", 5), "abc");
    EXPECT_EQ(LeftPart("abc", 0), "");
    EXPECT_EQ(LeftPart("abc", -1), "");
    EXPECT_EQ(LeftPart("abc", 2), "ab");
    EXPECT_EQ(PartFrom("abc", 4), "");
    EXPECT_EQ(PartFrom("abc", -2), "abc");
    EXPECT_EQ(PartFrom("abc", 2), "bc");
    EXPECT_EQ(WithoutLeft("abc", 3), "");
    EXPECT_EQ(WithoutLeft("abc", 0), "abc");
    EXPECT_EQ(WithoutLeft("abc", 1), "bc");
    EXPECT_EQ(WithoutFirstChar("a"), "");
    EXPECT_EQ(WithoutFirstChar(""), "");
    EXPECT_EQ(WithoutLeftWide(u"\u00e4bc", 1), u"bc");
    EXPECT_EQ(WithoutLeftWide(u"abc", 9), u"");
    EXPECT_EQ(LeftPart(std::string("a\0b", 3), 3).size(), 3u) << "bytes, zeros included";
}

TEST(PathText, TrailingDelimiters)
{
    EXPECT_EQ(StripTrailingSlash("C:\\Programs\\Morvane\\"), "C:\\Programs\\Morvane");
    EXPECT_EQ(StripTrailingSlash("C:\\a\\\\"), "C:\\a\\") << "only one delimiter is dropped";
    EXPECT_EQ(StripTrailingSlash("a/"), "a");
    EXPECT_EQ(StripTrailingSlash(""), "");
    std::string path = "C:\\a\\";
    AppendBackslash(path);
    EXPECT_EQ(path, "C:\\a\\");
    path = "C:\\a";
    AppendBackslash(path);
    EXPECT_EQ(path, "C:\\a\\");
    path = "";
    AppendBackslash(path);
    EXPECT_EQ(path, "");
    path = "x/";
    AppendBackslash(path);
    EXPECT_EQ(path, "x/\\");
}

TEST(SplitOffFirstItem, CutsAtTheFirstSemicolon)
{
    std::string list = "a;b;c";
    EXPECT_EQ(SplitOffFirstItem(list), "a");
    EXPECT_EQ(list, "b;c");
    list = ";b";
    EXPECT_EQ(SplitOffFirstItem(list), "");
    EXPECT_EQ(list, "b");
    list = "abc";
    EXPECT_EQ(SplitOffFirstItem(list), "abc");
    EXPECT_EQ(list, "");
    list = " x ; y";
    EXPECT_EQ(SplitOffFirstItem(list), " x ") << "blanks are not trimmed";
    EXPECT_EQ(list, " y");
}
