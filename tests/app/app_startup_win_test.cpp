// Start-up of the program with windows: where the language texts come from,
// what the uninstaller will carry, the start-up texts and the double-start check.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "app/app_startup_win.h"
#include "app/main_form_win.h"
#include "container/sections.h"
#include "engine/engine_state.h"
#include "lang/byte_order.h"
#include "lang/ml_startup.h"
#include "support/test_support.h"

namespace {

std::string DemoLanguageFile()
{
    const char* source = std::getenv("SETUP_SOURCE_DIR");
    return ReadTestFile(std::string(source ? source : ".") + "/examples/morvane/Setup.lng");
}

// The demo texts as a language file on disk is written: UTF-16 LE with its mark.
std::string DemoLanguageFileUtf16()
{
    return "\xFF\xFE" + WideToUtf16LeBytes(BytesToWide(DemoLanguageFile()));
}

// A small language text: UTF-8 with its mark.
const char SmallText[] = "\xEF\xBB\xBF"
                         "DE=Abbrechen\r\nEN=Cancel\r\nFR=Annuler\r\n\r\n";

class StartupTexts : public ::testing::Test {
protected:
    void SetUp() override
    {
        InitMultiLingua(0x0407, 1252);
        ResetEngineState();
    }
    void TearDown() override
    {
        UseSectionsFile("");
        DoneMultiLingua();
        ResetEngineState();
    }

    // A program file with the given language section (none when absent).
    std::string Program(const std::string& name, const std::string* section)
    {
        std::string bytes = "MZ program image" + MakeSection(SectionBeginningMark, "");
        if (section) bytes += MakeSection(SectionSetupLng, *section);
        const std::string path = folder_.File(name);
        WriteTestFile(path, bytes);
        UseSectionsFile(path);
        return path;
    }

    int Languages() const { return static_cast<int>(MLSystem->Languages.size()); }

    TempDir folder_;
};

TEST_F(StartupTexts, TheOwnSectionComesFirstAndIsKeptAsItIs)
{
    const std::string section = SmallText;
    const std::string program = Program("Setup.exe", &section);
    WriteTestFile(folder_.File("Setup.lng"), DemoLanguageFileUtf16());
    LoadLanguageTexts(program);
    EXPECT_EQ(Languages(), 3) << "the section, not the file beside the program";
    EXPECT_EQ(Engine.LanguageFileText, section);
}

TEST_F(StartupTexts, AnEmptyOrMissingSectionFallsBackToTheFileBesideTheProgram)
{
    const std::string empty;
    for (const std::string* section : {&empty, static_cast<const std::string*>(nullptr)}) {
        SetUp();
        WriteTestFile(folder_.File("Setup.lng"), DemoLanguageFileUtf16());
        const std::string program = Program("Setup.exe", section);
        EXPECT_FALSE(LoadEmbeddedLanguage());
        LoadLanguageTexts(program);
        EXPECT_EQ(Languages(), 7) << (section ? "empty section" : "no section");
        // The export reads back like a language section.
        const std::string kept = Engine.LanguageFileText;
        ASSERT_GE(kept.size(), 2u);
        EXPECT_EQ(kept.substr(0, 2), "\xFF\xFE");
        tMLSystem reread("DE");
        LoadFromWideText(reread, BytesToWide(kept), true);
        EXPECT_EQ(reread.Languages.size(), 7u);
        EXPECT_EQ(reread.Groups.size(), MLSystem->Groups.size());
    }
}

TEST_F(StartupTexts, AFileBesideTheProgramInUtf8LoadsNothing)
{
    const std::string program = Program("Setup.exe", nullptr);
    WriteTestFile(folder_.File("Setup.lng"), DemoLanguageFile());
    LoadLanguageTexts(program);
    EXPECT_EQ(Languages(), 0);
    EXPECT_TRUE(Engine.LanguageFileText.empty());
}

TEST_F(StartupTexts, ABigEndianSectionCountsAsFoundAndLoadsNothing)
{
    const std::string section = std::string("\xFE\xFF\0D\0E\0=\0J\0a", 12);
    const std::string program = Program("Setup.exe", &section);
    WriteTestFile(folder_.File("Setup.lng"), DemoLanguageFileUtf16());
    LoadLanguageTexts(program);
    EXPECT_EQ(Languages(), 0) << "the file beside the program is not tried";
    EXPECT_EQ(Engine.LanguageFileText, section);
}

TEST_F(StartupTexts, WithNeitherTheGermanTextsStay)
{
    const std::string program = Program("Setup.exe", nullptr);
    LoadLanguageTexts(program);
    EXPECT_EQ(Languages(), 0);
    EXPECT_TRUE(Engine.LanguageFileText.empty());
    EXPECT_EQ(MainDPRText(1), "Doppelstart: Es wurde ein anderes laufendes Setup gefunden.");
    EXPECT_EQ(MainDPRText(0), "MainDPR");
    EXPECT_EQ(MainDPRText(2), "") << "an unknown id";
}

TEST(StartupPaths, TheLanguageFileIsNamedAfterTheProgram)
{
    EXPECT_EQ(WithExtension("D:\\Setup.exe", ".lng"), "D:\\Setup.lng");
    EXPECT_EQ(WithExtension("D:\\v1.2\\Setup", ".lng"), "D:\\v1.2\\Setup.lng");
    EXPECT_EQ(WithExtension("D:\\v1.2\\Setup.tar.exe", ".lng"), "D:\\v1.2\\Setup.tar.lng");
}

TEST(StartupDoubleStart, AMainWindowCountsAsARunningCopy)
{
    InitMultiLingua(0x0407, 1252);
    ResetEngineState();
    EXPECT_FALSE(AnotherCopyRunning());
    {
        TBvSetupForm1 form;
        EXPECT_TRUE(AnotherCopyRunning()) << "even before it is shown";
    }
    EXPECT_FALSE(AnotherCopyRunning()) << "a closed window does not count";
    DoneMultiLingua();
    ResetEngineState();
}

}  // namespace
