// Tests that run with the code page of the system they run on. ctest runs them
// once under an English and once under a Polish locale (Windows-1250), with
// SETUP_EXPECT_ACP naming the code page the locale must give.
#include <gtest/gtest.h>

#include <cstdlib>

#include "lang/code_pages.h"
#include "lang/translation.h"
#include "lang_test_support.h"

namespace {

std::uint32_t ExpectedCodePage()
{
    const char* value = std::getenv("SETUP_EXPECT_ACP");
    return value != nullptr ? static_cast<std::uint32_t>(std::strtoul(value, nullptr, 10)) : 0;
}

class SystemCodePage : public ::testing::Test {
protected:
    void SetUp() override
    {
        InitMultiLingua();
        if (ExpectedCodePage() == 0) GTEST_SKIP() << "SETUP_EXPECT_ACP not set";
        ASSERT_EQ(AnsiCodePage, ExpectedCodePage()) << "the locale did not select the expected ANSI code page";
    }
    void TearDown() override { DoneMultiLingua(); }
};

} // namespace

TEST_F(SystemCodePage, StartUpRecordsTheSystemValues)
{
    EXPECT_EQ(SystemPrimaryLanguage, AnsiCodePage == 1250 ? 0x15 : 0x09) << "Polish or English system";
    ASSERT_TRUE(MLSystem);
    EXPECT_EQ(MLSystem->CurrentLng, "DE");
}

TEST_F(SystemCodePage, LanguageLinesUseTheSystemCodePage)
{
    LoadFromWideText(u"DE=Löschen\r\nPL=Usuń plik – Łódź\r\n\r\nDE=Sprache\r\nPL=Język\r\n", true);
    const std::string polish = MLSystem->Groups.at(0)->GetTextByCode("PL");
    if (AnsiCodePage == 1250) {
        EXPECT_EQ(polish, "Usu\xF1 plik \x96 \xA3\xF3" "d\x9F");
    } else {
#ifdef _WIN32
        EXPECT_EQ(polish, "Usun plik \x96 L\xF3" "dz") << "Windows' best fit";
#else
        EXPECT_EQ(polish, "Usu? plik \x96 ?\xF3" "d?");
#endif
    }
    EXPECT_EQ(MLSystem->Groups[0]->Lines->GetW(1), u"PL=Usuń plik – Łódź") << "the source line stays whole";
    EXPECT_EQ(MLSystem->Groups[0]->GetTextByCode("DE"), "L\xF6schen") << "ö has the same byte in 1250 and 1252";

    TWStringList list;
    list.AddW(u"Łódź");
    EXPECT_EQ(list.Get(0), WideToAnsi(u"Łódź", AnsiCodePage));
    list.Add(polish);
    if (AnsiCodePage == 1250) {
        EXPECT_EQ(list.GetW(1), u"Usuń plik – Łódź");
    }

#ifdef _WIN32
    // The second pass compares capitals by the locale's rules.
    if (AnsiCodePage == 1250) {
        EXPECT_EQ(MLSystem->Translate("J\xCA" "ZYK", "PL", "DE"), "Sprache");
    }
#endif
}

TEST_F(SystemCodePage, TextTablesReencodeWindows1252Texts)
{
    LoadFromWideText(u"DE=Español\r\nEN=Spanish\r\n", false);
    auto table = NewTextTable();
    table->Add255Obj("Espa\xF1ol", 1);
    table->Add255Obj("Zur\xFC" "ck", 2);
    EXPECT_EQ(table->GetText(2), "Zur\xFC" "ck") << "ü has the same byte in 1250 and 1252";
    if (AnsiCodePage == 1252) {
        EXPECT_EQ(table->GetText(1), "Espa\xF1ol");
    } else {
#ifdef _WIN32
        EXPECT_EQ(table->GetText(1), "Espanol");
#else
        EXPECT_EQ(table->GetText(1), "Espa?ol");
#endif
    }
    MLSystem->CurrentLng = "EN";
    EXPECT_EQ(table->GetText(1), "Spanish") << "the re-encoded text still finds its block";
}
