#include "mksetup/language_file.h"

#include <gtest/gtest.h>

#include "mksetup/tool_error.h"

namespace {

std::string Utf16(const std::u16string& text)
{
    std::string bytes;
    for (char16_t c : text) {
        bytes += static_cast<char>(c & 0xFF);
        bytes += static_cast<char>(c >> 8);
    }
    return bytes;
}

std::string Refusal(const std::string& bytes)
{
    try {
        LanguageSectionData("Setup.lng", bytes);
    } catch (const ToolError& e) {
        EXPECT_EQ(e.Code, ExitBadInput);
        return e.what();
    }
    return std::string();
}

} // namespace

TEST(LanguageFile, Utf16WithItsMarkIsTakenAsItIsAndUtf8IsConverted)
{
    const std::string utf16 = "\xFF\xFE" + Utf16(u"DE=Schl\u00FCssel\r\nEN=Key\r\n");
    EXPECT_EQ(LanguageSectionData("a.lng", utf16), utf16);

    // U+00FC, U+20AC and U+1F511 (a surrogate pair) from UTF-8, with and without its mark.
    const std::string utf8 = "DE=Schl\xC3\xBCssel \xE2\x82\xAC \xF0\x9F\x94\x91\r\n";
    const std::string expected = "\xFF\xFE" + Utf16(u"DE=Schl\u00FCssel \u20AC \U0001F511\r\n");
    EXPECT_EQ(LanguageSectionData("a.lng", utf8), expected);
    EXPECT_EQ(LanguageSectionData("a.lng", "\xEF\xBB\xBF" + utf8), expected);
}

TEST(LanguageFile, EverythingElseIsRefusedWithTheReason)
{
    EXPECT_NE(Refusal("").find("Setup.lng: empty"), std::string::npos);
    EXPECT_NE(Refusal("\xFE\xFF" + Utf16(u"DE")).find("big-endian"), std::string::npos);
    EXPECT_NE(Refusal(std::string("\xFF\xFE\x00\x00", 4)).find("UTF-32"), std::string::npos);
    EXPECT_NE(Refusal("\xFF\xFE" "D").find("odd"), std::string::npos);
    EXPECT_NE(Refusal(Utf16(u"DE=x")).find("zero bytes"), std::string::npos) << "UTF-16 without its mark";
    EXPECT_NE(Refusal("DE=Schl\xFCssel").find("byte 7 is no UTF-8"), std::string::npos) << "Latin-1";
    EXPECT_NE(Refusal("DE=\xC3").find("no UTF-8"), std::string::npos) << "cut-off sequence";
    EXPECT_NE(Refusal("DE=\xC0\xAF").find("no UTF-8"), std::string::npos) << "overlong form";
    EXPECT_NE(Refusal("DE=\xED\xA0\x80").find("no UTF-8"), std::string::npos) << "encoded surrogate";
}
