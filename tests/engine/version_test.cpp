#include "engine/version.h"

#include <gtest/gtest.h>

TEST(NormalizeVersion, PadsBeforeTheFirstDotAndToFiveCharacters)
{
    EXPECT_EQ(NormalizeVersion("1.2"), "01.20");
    EXPECT_EQ(NormalizeVersion("2.10"), "02.10");
    EXPECT_EQ(NormalizeVersion("12.5"), "12.50");
    EXPECT_EQ(NormalizeVersion("1.2.3"), "01.2.3");
    EXPECT_EQ(NormalizeVersion(".5"), "00.50") << "a leading dot gets two zeros in front";
    EXPECT_EQ(NormalizeVersion("123.4"), "123.4") << "three digits before the dot stay";
    EXPECT_EQ(NormalizeVersion("2012-01"), "2012-01") << "texts without a dot stay unchanged";
    EXPECT_EQ(NormalizeVersion(" \t1.2\r\n"), "01.20") << "blanks and control characters are trimmed first";
    EXPECT_EQ(NormalizeVersion("  2013 "), "2013");
    EXPECT_EQ(NormalizeVersion(""), "");
}

TEST(InstalledVersionTextIsNewer, ComparesNormalisedTextsByteWise)
{
    EXPECT_FALSE(InstalledVersionTextIsNewer("1.10", "1.9")) << "01.10 against 01.90: installed is older";
    EXPECT_FALSE(InstalledVersionTextIsNewer("2.0", "10.0")) << "02.00 against 10.00";
    EXPECT_TRUE(InstalledVersionTextIsNewer("10.0", "2.0"));
    EXPECT_TRUE(InstalledVersionTextIsNewer("1.3", "1.2"));
    EXPECT_FALSE(InstalledVersionTextIsNewer("1.2", "1.2")) << "equal is not newer";
    EXPECT_TRUE(InstalledVersionTextIsNewer("2012-03", "2012-01"));
    EXPECT_FALSE(InstalledVersionTextIsNewer("2012-01", "2012-03"));
    EXPECT_FALSE(InstalledVersionTextIsNewer("2013", "2012-01")) << "an installed version without '-' is not compared";
    EXPECT_FALSE(InstalledVersionTextIsNewer("3", "1.0")) << "an installed version without '.' is not compared";
    EXPECT_TRUE(InstalledVersionTextIsNewer("1.20.1", "1.2")) << "01.20.1 against 01.20: the longer text is greater";
    EXPECT_FALSE(InstalledVersionTextIsNewer("1.2.1", "1.2")) << "01.2.1 against 01.20: the dot sorts below the zero";
    EXPECT_TRUE(InstalledVersionTextIsNewer("1.\xE9", "1.z")) << "bytes compare unsigned";
}
