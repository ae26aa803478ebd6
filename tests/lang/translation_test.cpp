#include "lang/translation.h"

#include <gtest/gtest.h>

#include "lang/code_pages.h"
#include "lang_test_support.h"

namespace {

class Translation : public ::testing::Test {
protected:
    void SetUp() override
    {
        LoadTestTexts();
        MLSystem->CurrentLng = "EN";
    }
    void TearDown() override { DoneMultiLingua(); }
};

} // namespace

TEST_F(Translation, TranslatesByWording)
{
    EXPECT_EQ(TranslateText("Abbrechen"), "Cancel");
    EXPECT_EQ(TranslateText("&Abbrechen"), "Cancel");
    EXPECT_EQ(TranslateText("  Abbrechen:"), "  Cancel:");
    EXPECT_EQ(TranslateText("ABBRECHEN"), "Cancel") << "second pass, without regard to letter case";
    EXPECT_EQ(TranslateText("Das eingegebene Verzeichnis kann nicht benutzt werden."),
              "The folder entered cannot be used.");
    EXPECT_EQ(TranslateText("Programm wird gel\xF6scht - bitte warten ..."),
              "Program is being deleted - please wait ...");
    EXPECT_EQ(TranslateText("&Unbekannter &Text"), "Unbekannter &Text") << "only the first '&' goes";
    EXPECT_EQ(TranslateText("A&&B"), "A&B") << "a doubled '&' keeps one";
    EXPECT_EQ(TranslateText("Ende&"), "Ende&") << "'&' without a character after it stays";
    EXPECT_EQ(TranslateText("..."), "...") << "one character always stays as the text";
    EXPECT_EQ(TranslateText(""), "");

    const tMLSystem& ml = *MLSystem;
    EXPECT_EQ(ml.Translate("Nur zwei Sprachen", "DE", "FR"), "Two languages only") << "fallback in the second pass";
    EXPECT_EQ(ml.Translate("Abbrechen", "DE", "FR"), "Annuler");
    EXPECT_EQ(ml.Translate("Abbrechen", "DE", "RU"), "Abbrechen") << "a language that is not loaded";
    EXPECT_EQ(ml.Translate("Cancel", "EN", "PL"), "Anuluj") << "any loaded language can be the source";
    EXPECT_EQ(ml.Translate("Ordner", "DE", "US"), "Folder") << "US borrows from EN";
    EXPECT_EQ(ml.Translate("Sprache", "DE", "US"), "Tongue");
    EXPECT_EQ(ml.Translate("Sprache", "DE", "EN"), "Sprache") << "no EN text, no fallback: base text";
    EXPECT_EQ(ml.Translate("&Abbrechen", "DE", "DE"), "&Abbrechen") << "same language: unchanged";
    EXPECT_EQ(ml.TranslateHint("Abbrechen|Bricht die Installation ab", "DE", "EN"),
              "Cancel|Bricht die Installation ab");
    EXPECT_EQ(ml.TranslateHint("|Abbrechen", "DE", "EN"), "|Abbrechen");
    EXPECT_EQ(ml.TranslateHint("Abbrechen.", "DE", "EN"), "Cancel.");
}

TEST_F(Translation, TextsById)
{
    EXPECT_EQ(GetLngText(1), "No administrator rights\rGo on anyway?");
    MLSystem->CurrentLng = "HU";
    EXPECT_EQ(GetLngText(1), "No administrator rights\rGo on anyway?") << "HU falls back to EN";
    MLSystem->FallbackLng = "PL";
    EXPECT_EQ(GetLngText(1), WideToAnsi(u"Brak uprawnień administratora", 1252) + "\r" +
                                 WideToAnsi(u"Kontynuować mimo to?", 1252))
        << "the fallback language comes before EN";
    EXPECT_EQ(GetLngText(99), "");
    EXPECT_EQ(GetLngText(0), "Anuluj") << "id 0: the first block without an id";
    DoneMultiLingua();
    EXPECT_EQ(GetLngText(1), "");
    EXPECT_EQ(TranslateText("&Abbrechen"), "&Abbrechen");
}

TEST_F(Translation, TextTables)
{
    auto table = NewTextTable();
    table->Add255Obj("Unit1", 0);
    table->Add255Obj("Abbrechen", 1);
    table->Add255Obj("ABBRECHEN", 2);
    table->Add255Obj("Zielordner %1 w\xE4hlen", 3);
    table->Add255Obj("Zeile eins#13#Zeile zwei#13#", 4);
    table->Add255Obj("ab", 5);
    table->Add255Obj(std::string(300, 'x'), 6);
    ASSERT_EQ(table->Count(), 6);
    EXPECT_EQ(table->TextAt(0), "ab") << "sorted without regard to letter case";
    EXPECT_EQ(table->TextAt(1), "Abbrechen");
    EXPECT_EQ(table->TextAt(2), "Unit1");
    EXPECT_EQ(table->GetText(2), "") << "the case-duplicate was not added";
    EXPECT_EQ(table->GetText(1), "Cancel");
    EXPECT_EQ(table->GetText(4), "Zeile eins\rZeile zwei\r");
    EXPECT_EQ(table->GetText(6).size(), 255u);
    EXPECT_EQ(table->GetTextFmt(3, "C:\\%1\\"), "Choose the target folder C:\\%1\\") << "param inserted once";
    EXPECT_EQ(table->GetTextFmt(3, ""), "Choose the target folder ");
    MLSystem->CurrentLng = "DE";
    EXPECT_EQ(table->GetTextFmt(3, "D:"), "Zielordner D: w\xE4hlen");
}
