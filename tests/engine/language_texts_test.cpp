#include "engine/language_texts.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "container/sections.h"
#include "engine/engine_state.h"
#include "lang/byte_order.h"
#include "lang/ml_startup.h"
#include "support/test_support.h"

namespace {

std::string Utf16Bytes(const WideString& text, bool withMark)
{
    return (withMark ? "\xFF\xFE" : "") + WideToUtf16LeBytes(text);
}

// A program file: an image, then the begin marker and the given sections.
std::string ProgramFile(const std::string& sections)
{
    return "MZ program image" + MakeSection(SectionBeginningMark, "") + sections;
}

// Loads as start-up does, with the given program file, from a fresh text system.
void LoadStartup(const TempDir& dir, const std::string& programBytes)
{
    const std::string program = dir.File("Setup.exe");
    WriteTestFile(program, programBytes);
    InitMultiLingua(0x0409, 1252);
    Engine.LanguageFileText = "left over";
    UseSectionsFile(program);
    LoadStartupLanguageTexts(program);
    UseSectionsFile("");
}

} // namespace

TEST(LanguageTexts, TheOwnSectionComesFirstAndIsKeptUnchanged)
{
    TempDir dir;
    // Without a mark the section is UTF-16 LE as it stands.
    const std::string section = Utf16Bytes(u"DE=Ordner\r\nHU=Mappa\r\n", false);
    WriteTestFile(dir.File("Setup.lng"), Utf16Bytes(u"DE=Ordner\r\nPL=Folder\r\n", true));
    LoadStartup(dir, ProgramFile(MakeSection(SectionSetupLng, section)));
    EXPECT_EQ(Engine.LanguageFileText, section) << "the section's bytes, not an export";
    EXPECT_GE(MLSystem->IndexOfLanguage("HU"), 0);
    EXPECT_LT(MLSystem->IndexOfLanguage("PL"), 0) << "the file beside the program is not read";
    EXPECT_EQ(MLSystem->Translate("Ordner", "DE", "HU"), "Mappa");
}

TEST(LanguageTexts, TheFileBesideTheProgramIsKeptAsItsExport)
{
    TempDir dir;
    const std::string noSections = "MZ program image without sections";
    WriteTestFile(dir.File("Setup.lng"), "// comment\r\nDE=Ordner\r\nhu=Mappa\r\nno language line\r\n");
    LoadStartup(dir, ProgramFile(MakeSection(SectionSetupLng, "")));
    EXPECT_GE(MLSystem->IndexOfLanguage("HU"), 0) << "an empty section counts as none";
    EXPECT_EQ(Engine.LanguageFileText, Utf16Bytes(u"// comment\r\nDE=Ordner\r\nhu=Mappa\r\n\r\n", true))
        << "8-bit file: its loaded lines as UTF-16 LE with the mark";

    WriteTestFile(dir.File("Setup.lng"), Utf16Bytes(u"DE=Ordner\r\nPL=Folder\r\n", true));
    LoadStartup(dir, noSections);
    EXPECT_GE(MLSystem->IndexOfLanguage("PL"), 0);
    EXPECT_EQ(Engine.LanguageFileText, Utf16Bytes(u"DE=Ordner\r\nPL=Folder\r\n\r\n", true));

    for (const std::string& refused :
         {std::string("\xEF\xBB\xBF" "DE=Ordner\r\nEN=Folder\r\n"), std::string("\xFF\xFE\0\0D\0\0\0", 8),
          std::string("\xFE\xFF\0D\0=", 6)}) {
        WriteTestFile(dir.File("Setup.lng"), refused);
        LoadStartup(dir, noSections);
        EXPECT_TRUE(MLSystem->Languages.empty()) << "a file with another mark loads nothing";
        EXPECT_EQ(Engine.LanguageFileText, "") << "and nothing is kept";
    }

    std::remove(dir.File("Setup.lng").c_str());
    LoadStartup(dir, noSections);
    EXPECT_TRUE(MLSystem->Groups.empty());
    EXPECT_EQ(Engine.LanguageFileText, "") << "with neither source the German defaults stay";
}
