#include "engine/program_settings.h"

#include <windows.h>

#include <gtest/gtest.h>

#include "container/sections.h"
#include "container/zlib_wrapper.h"
#include "engine/engine_state.h"
#include "engine/folders.h"
#include "support/test_support.h"
#include "util/win_handles.h"

namespace {

bool Exists(const std::string& path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

class ProgramSettingsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetEngineState();
        Engine.QuietErrors = true;
        Engine.PgmPath = dir_.Path().string() + "\\";
        Engine.MainProgram = Engine.PgmPath + "Morvane.exe";
    }
    void TearDown() override
    {
        UseSectionsFile("");
        ResetEngineState();
    }
    void Touch(const std::string& name)
    {
        const std::string path = dir_.File(name);
        CreateFolderChain(path.substr(0, path.find_last_of('\\')));
        WriteTestFile(path, "x");
    }
    TempDir dir_;
};

} // namespace

TEST_F(ProgramSettingsTest, NewFileGetsLanguageTemplatesAndTerm)
{
    for (const char* name : {"Formulare\\Formular1 Ausgabe.rtf", "Formulare\\Formular5 Zylinder Verlust, Vernichtung.rtf",
                             "Formulare\\HTML\\Ausleihuebersicht.htm", "Templates\\Form1 Issuance.rtf",
                             "Templates\\HTML\\IssuanceOverview.htm"})
        Touch(name);
    Engine.LanguageCode = "EN";
    WriteProgramSettings([] { return std::string("Mitarbeiter"); });
    EXPECT_EQ(ProgramSettingsPath(), dir_.File("Morvane.ini"));
    EXPECT_EQ(ReadTestFile(dir_.File("Morvane.ini")),
              "Lng=EN\r\nFormTemplate1=Templates\\Form1 Issuance.rtf\r\n"
              "FormTemplate5=Formulare\\Formular5 Zylinder Verlust, Vernichtung.rtf\r\n"
              "FormTemplate9=Templates\\HTML\\IssuanceOverview.htm\r\nPersonsTerm=Mitarbeiter\r\n")
        << "English templates win where both exist; missing ones are not named";

    WriteTestFile(dir_.File("Morvane.ini"), "Custom=1\r\nlng=EN\r\nFormTemplate1=Mine.rtf\r\n");
    Engine.LanguageCode = "DE";
    bool asked = false;
    WriteProgramSettings([&asked] {
        asked = true;
        return std::string("x");
    });
    EXPECT_FALSE(asked) << "no persons question for an existing file";
    EXPECT_EQ(ReadTestFile(dir_.File("Morvane.ini")), "Custom=1\r\nLng=DE\r\nFormTemplate1=Mine.rtf\r\n")
        << "only the language changes, in its place";
}

TEST_F(ProgramSettingsTest, NothingWithoutMainProgramAndErrorsRaise)
{
    Engine.MainProgram.clear();
    WriteProgramSettings();
    EXPECT_FALSE(Exists(dir_.File(".ini")));

    Engine.MainProgram = dir_.File("Morvane.exe");
    Engine.LanguageCode = "EN";
    WriteProgramSettings([] { return std::string(); });
    EXPECT_EQ(ReadTestFile(dir_.File("Morvane.ini")), "Lng=EN\r\n") << "an empty term is not written";

    {
        // Another program holds the file open without sharing it.
        FileHandle locked(CreateFileA(dir_.File("Morvane.ini").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_TRUE(locked);
        try {
            WriteProgramSettings();
            ADD_FAILURE() << "a settings file that cannot be read raises";
        } catch (const Exception& error) {
            EXPECT_EQ(std::string(error.what()).rfind("Datei " + dir_.File("Morvane.ini") + " kann nicht ge\xF6" "ffnet werden. ", 0), 0u)
                << error.what();
        }
    }

    Engine.MainProgram = dir_.File("Folder.exe");
    CreateDirectoryA(dir_.File("Folder.ini").c_str(), nullptr);
    try {
        WriteProgramSettings();
        ADD_FAILURE() << "a settings file that cannot be created raises";
    } catch (const Exception& error) {
        EXPECT_EQ(std::string(error.what()).rfind("Datei \"" + dir_.File("Folder.ini") + "\" kann nicht erstellt werden. ", 0),
                  0u)
            << error.what();
    }
}

TEST_F(ProgramSettingsTest, ObsoleteFilesGoOnlyWhenTheirSuccessorExists)
{
    for (const char* name : {"System\\IconData.ico", "IconData.ico", "TraderLogo.bmp", "System\\Morvane.lng",
                             "Morvane.lng", "Anleitung_MORVANE.pdf", "Anleitung MORVANE.pdf", "Anleitung.pdf"})
        Touch(name);
    RemoveObsoleteFiles();
    EXPECT_FALSE(Exists(dir_.File("IconData.ico")));
    EXPECT_FALSE(Exists(dir_.File("Morvane.lng")));
    EXPECT_TRUE(Exists(dir_.File("TraderLogo.bmp"))) << "no copy in System";
    EXPECT_TRUE(Exists(dir_.File("System\\IconData.ico")));
    EXPECT_FALSE(Exists(dir_.File("Anleitung MORVANE.pdf")));
    EXPECT_FALSE(Exists(dir_.File("Anleitung.pdf")));
    EXPECT_TRUE(Exists(dir_.File("Anleitung_MORVANE.pdf")));
}

TEST_F(ProgramSettingsTest, RunInstallationRenamesFormerNamesAndRunsTheScript)
{
    const std::string installer = dir_.File("Setup.exe");
    WriteTestFile(installer, "MZ image" + MakeSection(SectionBeginningMark, "") +
                                 MakeSection(SectionSetupCmd, CompressString("action=exec,params=x\r\n", LevelDefault)));
    UseSectionsFile(installer);
    CreateFolderChain(dir_.File("Menu\\Brumo Morvane"));
    Engine.MyStartMenu = dir_.File("Menu\\Morvane") + "\\";
    const std::string desktop = CommonDesktopFolder() + "\\";
    const std::string oldLink = desktop + "Brumo Morvane.lnk";
    const bool hadLink = Exists(desktop + "Morvane.lnk");
    if (!hadLink) WriteTestFile(oldLink, "old link");

    EXPECT_TRUE(RunInstallation(dir_.File("Target") + "\\", true, "ENGL"));
    EXPECT_EQ(Engine.PgmPath, dir_.File("Target") + "\\");
    EXPECT_TRUE(Engine.CreateDesktopLinks);
    EXPECT_EQ(Engine.LanguageCode, "ENG");
    EXPECT_EQ(Engine.LaunchParams, "x") << "the whole script ran";
    EXPECT_TRUE(Exists(dir_.File("Menu\\Morvane"))) << "the former start-menu folder takes the new name";
    EXPECT_FALSE(Exists(dir_.File("Menu\\Brumo Morvane")));
    if (!hadLink) {
        EXPECT_FALSE(Exists(oldLink));
        EXPECT_EQ(ReadTestFile(desktop + "Morvane.lnk"), "old link") << "the former desktop link is renamed";
        DeleteFileA((desktop + "Morvane.lnk").c_str());
    }
}
