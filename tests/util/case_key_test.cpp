#include "util/case_key.h"

#include <gtest/gtest.h>

#include "util/text_compare.h"

TEST(CaseKey, AsciiFastPathAgreesWithTheLocaleComparison)
{
    const std::string texts[] = {"C:\\Program Files\\Morvane\\a.txt", "c:\\program files\\MORVANE\\A.TXT",
                                 "OrigLen", "origlen", "ORIGLEN", "Orig", "OrigLenX", "", "x=y", "[\\]^_`{|}~@"};
    for (const std::string& a : texts)
        for (const std::string& b : texts) {
            const bool same = SameTextIgnoreCase(a, b);
            EXPECT_EQ(CaseInsensitiveKey(a) == CaseInsensitiveKey(b), same) << a << " / " << b;
            EXPECT_EQ(SameTextIgnoreCaseFast(a, 0, a.size(), b), same) << a << " / " << b;
        }
    EXPECT_TRUE(SameTextIgnoreCaseFast("xxComprLen=5", 2, 8, "comprlen")) << "only the given part counts";
    EXPECT_FALSE(SameTextIgnoreCaseFast("xxComprLen=5", 2, 9, "comprlen"));
    EXPECT_TRUE(IsAsciiText("plain"));
    EXPECT_FALSE(IsAsciiText("Gr\xFC\xDF"));
}

TEST(CaseKey, OtherTextsGoThroughTheLocaleUpperCase)
{
    const std::string umlaut = "C:\\Programme\\\xC4nderung"; // Ä in the Western code pages
    EXPECT_EQ(CaseInsensitiveKey(umlaut), UpperCaseText(umlaut));
    EXPECT_EQ(SameTextIgnoreCaseFast(umlaut, 0, umlaut.size(), "c:\\programme\\\xC4NDERUNG"),
              SameTextIgnoreCase(umlaut, "c:\\programme\\\xC4NDERUNG"));
}
