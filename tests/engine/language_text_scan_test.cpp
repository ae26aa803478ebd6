#include "engine/language_text_scan.h"

#include <gtest/gtest.h>

namespace {

std::string Utf16Le(const std::u16string& text, bool mark)
{
    std::string bytes = mark ? "\xFF\xFE" : "";
    for (char16_t c : text) {
        bytes += static_cast<char>(c & 0xFF);
        bytes += static_cast<char>(c >> 8);
    }
    return bytes;
}

const std::u16string Sample =
    u"// Begin of: Setup\r\nDE=Setup f\u00FCr\r\nEN=Setup for\r\nhu = Setup\r\n\r\n"
    u"// ID=2;\r\nDE12=Morvane Erinnerung\r\nEN=Morvane Reminder\r\nPL=Przypomnienie \u0142\r\nX=single\r\n"
    u"/x=ignored\r\nDE0=bad id\r\n\r\nFRA=Rappel\r\n";

} // namespace

TEST(LanguageTextScan, CodesInOrderOfFirstOccurrence)
{
    EXPECT_EQ(LanguageCodesOfText(Utf16Le(Sample, true)),
              (std::vector<std::string>{"DE", "EN", "HU", "PL", "FRA"}));
    EXPECT_EQ(LanguageCodesOfText(Utf16Le(Sample, false)), LanguageCodesOfText(Utf16Le(Sample, true)))
        << "UTF-16 LE without mark reads the same";
    EXPECT_EQ(LanguageCodesOfText("\xEF\xBB\xBF" "DE=a\r\nEN=b\r\n"), (std::vector<std::string>{"DE", "EN"}));
    EXPECT_TRUE(LanguageCodesOfText("\xFE\xFF" + Utf16Le(u"DE=a", false)).empty()) << "big-endian mark: nothing";
    EXPECT_TRUE(LanguageCodesOfText("").empty());
    EXPECT_TRUE(LanguageCodesOfText("\x01").empty()) << "an odd byte is dropped";
}

TEST(LanguageTextScan, TranslatesByTheGermanLineOfABlock)
{
    const std::string bytes = Utf16Le(Sample, true);
    EXPECT_EQ(TranslateByGermanText(bytes, "Morvane Erinnerung", "EN"), u"Morvane Reminder");
    EXPECT_EQ(TranslateByGermanText(bytes, "Morvane Erinnerung", "PL"), u"Przypomnienie \u0142");
    EXPECT_EQ(TranslateByGermanText(bytes, "Morvane Erinnerung", "DE"), u"Morvane Erinnerung");
    EXPECT_EQ(TranslateByGermanText(bytes, "Morvane Erinnerung", "HU"), u"") << "the block has no Hungarian line";
    EXPECT_EQ(TranslateByGermanText(bytes, "Setup", "EN"), u"");
    EXPECT_EQ(TranslateByGermanText(bytes, "Morvane Erinnerung", ""), u"");
}
