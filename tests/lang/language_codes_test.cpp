#include "lang/language_codes.h"

#include <gtest/gtest.h>

#include "lang/ml_startup.h"

TEST(LanguageCodes, NormalizeAndValidate)
{
    EXPECT_EQ(NormalizeLngCode("US"), "EN");
    EXPECT_EQ(NormalizeLngCode("USA"), "USA") << "only the two-letter code is replaced";
    EXPECT_EQ(NormalizeLngCode("us"), "us") << "codes are case-sensitive";
    EXPECT_EQ(NormalizeLngCode("DEUTSCH"), "DEU");
    EXPECT_EQ(NormalizeLngCode("PL"), "PL");

    EXPECT_TRUE(IsLngCode("DE"));
    EXPECT_TRUE(IsLngCode("ENG"));
    EXPECT_TRUE(IsLngCode("DEUTSCH")) << "a longer run counts as its first three capitals";
    EXPECT_TRUE(IsLngCode("DEU1")) << "only the first three characters are looked at";
    EXPECT_FALSE(IsLngCode("D"));
    EXPECT_FALSE(IsLngCode(""));
    EXPECT_FALSE(IsLngCode("D1"));
    EXPECT_FALSE(IsLngCode("E-N"));
    EXPECT_FALSE(IsLngCode("de"));
    EXPECT_FALSE(IsLngCode("D\xC4"));
}

TEST(LanguageCodes, LngInfoAndStartUp)
{
    InitMultiLingua(0x0807, 1252);  // Swiss German
    EXPECT_EQ(SystemPrimaryLanguage, 7);
    EXPECT_EQ(AnsiCodePage, 1252u);
    ASSERT_TRUE(MLSystem);
    EXPECT_EQ(MLSystem->BaseLng, "DE");
    EXPECT_EQ(MLSystem->CurrentLng, "DE");
    EXPECT_EQ(MLSystem->FallbackLng, "EN");

    const int us = MLSystem->AddLanguage("USA");
    EXPECT_EQ(MLSystem->Languages[us]->Code, "USA");
    const tLngInfo info(MLSystem.get(), "US");
    EXPECT_EQ(info.NormCode, "EN");
    EXPECT_EQ(info.System, MLSystem.get());
    EXPECT_EQ(MLSystem->IndexOfLanguage("us"), -1) << "byte-for-byte comparison";
    EXPECT_EQ(MLSystem->IndexOfLanguage("USAX"), us) << "codes are cut to three characters";
    EXPECT_EQ(MLSystem->AddLanguage("USA"), us);

    DoneMultiLingua();
    EXPECT_FALSE(MLSystem);
    EnsureMLSystem();
    EXPECT_TRUE(MLSystem);
    EXPECT_TRUE(MLSystem->Languages.empty());
}
