// The demo package's language file: seven complete languages, every German
// text of the program found by its wording, placeholders kept.
#include <gtest/gtest.h>

#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include "lang/byte_order.h"
#include "lang/code_pages.h"
#include "lang/ml_startup.h"
#include "lang/ml_system.h"
#include "support/test_support.h"

namespace {

const std::vector<std::string> Languages = {"DE", "EN", "ES", "FR", "IT", "HU", "PL"};

// The program's German texts as the windows and text tables hold them (in
// Windows-1252), with their own suffixes.
const std::vector<std::string> ProgramTexts = {
    // main window
    "Setup f\xFCr", "Morvane", "Schl\xFCsselverwaltung", "Programm-Ordner", "Durchsuchen ...",
    "Verkn\xFCpfung auf dem Desktop erstellen", "Installation starten?", "Ja", "Abbrechen",
    "Die Installation l\xE4uft - bitte warten ...", "OK", "Entfernen",
    // Unit1 texts 2 to 15
    "Version", "De-Installation", "Das eingegebene Verzeichnis kann nicht benutzt werden.",
    "Dieses Setup-Programm installiert %1 auf Ihrem Computer.",
    "Das bereits installierte Programm ist entweder in Benutzung#13#oder Sie haben nicht die ben\xF6tigen "
    "Dateirechte f\xFCr dessen Ersetzung.",
    "Es ist ein Fehler aufgetreten.#13#Das Setup wird abgebrochen.",
    "Die Installation wurde erfolgreich abgeschlossen.",
    "Die Installation war erfolgreich.#13#Das Programm wird nun gestartet.", "Morvane Erinnerung",
    "Programm wird gel\xF6scht - bitte warten ...",
    "Es ist bereits eine neuere Version installiert.#13#M\xF6\x63hten Sie trotzdem dieses alte Setup verwenden?",
    "M\xF6\x63hten Sie das Programm Morvane von Ihrem Computer entfernen?", "In den Zielordner springen",
    "Ihnen fehlen die Rechte zum Entfernen des Programms.#13#Starten Sie die Deinstallation als Administrator.",
    // MainDPR text 1
    "Doppelstart: Es wurde ein anderes laufendes Setup gefunden.",
    // persons dialog
    "Schl\xFCsselbesitzer", "Mitarbeiter", "Mieter", "Besitzer", "Kunden", "Personen",
};

// Texts that read the same in every language.
const std::set<std::string> SameEverywhere = {"Morvane", "OK"};

std::size_t Count(const std::string& text, const std::string& part)
{
    std::size_t count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size())) ++count;
    return count;
}

std::uint32_t CodePageOf(const std::string& code)
{
    return (code == "HU" || code == "PL") ? 1250 : 1252;
}

class SetupLanguageFile : public ::testing::Test {
protected:
    void SetUp() override
    {
        const char* source = std::getenv("SETUP_SOURCE_DIR");
        ASSERT_NE(source, nullptr) << "SETUP_SOURCE_DIR is not set";
        bytes_ = ReadTestFile(std::string(source) + "/examples/morvane/Setup.lng");
        InitMultiLingua(0x0407, 1252);
        LoadFromWideText(*MLSystem, BytesToWide(bytes_), true);
    }
    void TearDown() override { DoneMultiLingua(); }

    std::string bytes_;
};

TEST_F(SetupLanguageFile, HasSevenCompleteLanguagesWithPlaceholdersKept)
{
    ASSERT_EQ(bytes_.compare(0, 3, "\xEF\xBB\xBF"), 0) << "the file is stored as UTF-8 with its mark";
    ASSERT_EQ(MLSystem->Languages.size(), Languages.size());
    for (std::size_t i = 0; i < Languages.size(); ++i)
        EXPECT_EQ(MLSystem->Languages[i]->Code, Languages[i]) << "language " << i;

    ASSERT_GE(MLSystem->Groups.size(), ProgramTexts.size());
    std::set<std::string> germanKeys;
    for (const auto& group : MLSystem->Groups) {
        const std::string german = group->GetTextByCode("DE");
        SCOPED_TRACE("block " + german);
        EXPECT_TRUE(germanKeys.insert(german).second) << "German text twice";
        if (group->Id == 0) {
            // Lookups by wording drop the program text's final full stop, so a
            // key with one would never match.
            EXPECT_NE(german.back(), '.');
            EXPECT_NE(german.back(), ':');
        }
        for (std::size_t i = 0; i < Languages.size(); ++i) {
            const std::string text = group->GetTextByIndex(static_cast<int>(i));
            EXPECT_FALSE(text.empty()) << Languages[i] << " missing";
            EXPECT_EQ(Count(text, "%1"), Count(german, "%1")) << Languages[i] << ": " << text;
            EXPECT_EQ(Count(text, "#13#"), Count(german, "#13#")) << Languages[i] << ": " << text;
            EXPECT_EQ(Count(text, "&"), Count(german, "&")) << Languages[i] << ": " << text;
            // Every language must survive the trip into the code page its
            // systems use (Hungarian and Polish: 1250, the others: 1252).
            ASSERT_TRUE(group->Lines);
            const WideString line = group->Lines->GetW(static_cast<int>(i));
            EXPECT_EQ(AnsiToWide(WideToAnsi(line, CodePageOf(Languages[i])), CodePageOf(Languages[i])), line)
                << Languages[i] << " line does not fit code page " << CodePageOf(Languages[i]);
        }
    }
}

TEST_F(SetupLanguageFile, TranslatesEveryProgramTextAndBothIdTexts)
{
    // Every Polish text differs from the German one, so an unchanged text
    // means that no block has the program's German wording.
    for (const std::string& german : ProgramTexts) {
        if (SameEverywhere.count(german)) {
            bool found = false;
            for (const auto& group : MLSystem->Groups) found = found || group->GetTextByCode("DE") == german;
            EXPECT_TRUE(found) << "no block for \"" << german << "\"";
        } else {
            EXPECT_NE(MLSystem->Translate(german, "DE", "PL"), german) << "no block for \"" << german << "\"";
        }
    }
    // The suffixes come back behind the translation.
    EXPECT_EQ(MLSystem->Translate("Durchsuchen ...", "DE", "EN"), "Browse ...");
    EXPECT_EQ(MLSystem->Translate("Das eingegebene Verzeichnis kann nicht benutzt werden.", "DE", "EN"),
              "The folder you entered cannot be used.");

    for (std::int32_t id : {1, 2}) {
        std::set<std::string> seen;
        for (const std::string& code : Languages) {
            MLSystem->CurrentLng = code;
            const std::string text = MLSystem->GetTextById(id);
            EXPECT_FALSE(text.empty()) << "id " << id << " in " << code;
            EXPECT_EQ(text.find("#13#"), std::string::npos) << "line breaks resolved";
            EXPECT_TRUE(seen.insert(text).second) << "id " << id << " in " << code << " is not translated";
        }
    }
    MLSystem->CurrentLng = "DE";
    EXPECT_EQ(MLSystem->GetTextById(2),
              "Wie m\xF6\x63hten Sie die Personengruppe nennen, an die Sie Schl\xFCssel ausgeben?");
    EXPECT_EQ(Count(MLSystem->GetTextById(1), "\r"), 3u);
}

}  // namespace
