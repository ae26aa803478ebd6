#include "engine/unattended_options.h"

#include <gtest/gtest.h>

#include "lang/ml_startup.h"

TEST(UnattendedOptions, SilentSwitchInAnyCase)
{
    EXPECT_TRUE(SilentModeRequested({"/D=C:\\x", "/s"}));
    EXPECT_TRUE(SilentModeRequested({"/S"}));
    EXPECT_FALSE(SilentModeRequested({"/SILENT", "S", "-S"}));
    EXPECT_FALSE(SilentModeRequested({}));
}

TEST(UnattendedOptions, InstallerOptions)
{
    TUnattendedOptions options;
    std::string message;
    ASSERT_TRUE(ParseUnattendedArguments({"/S", "/d=C:\\Program Files\\M", "/Lang=en", "/NoDesktop"}, false, options,
                                         message))
        << message;
    EXPECT_TRUE(options.HasFolder);
    EXPECT_EQ(options.Folder, "C:\\Program Files\\M");
    EXPECT_TRUE(options.HasLanguage);
    EXPECT_EQ(options.Language, "EN") << "codes are capitals";
    EXPECT_TRUE(options.NoDesktop);

    ASSERT_TRUE(ParseUnattendedArguments({"/S"}, false, options, message));
    EXPECT_FALSE(options.HasFolder);
    EXPECT_FALSE(options.HasLanguage);
    EXPECT_FALSE(options.NoDesktop) << "a second parse starts from the defaults";
}

TEST(UnattendedOptions, BadInstallerArguments)
{
    TUnattendedOptions options;
    std::string message;
    for (const std::vector<std::string>& arguments : std::vector<std::vector<std::string>>{
             {"/S", "/D="}, {"/S", "/D=C:\\A B\" /LANG=EN"}, {"/S", "/D=C:\\a?"}, {"/S", "/LANG="}, {"/S", "/LANG=ENGL"}, {"/S", "/X"}, {"/S", "C:\\folder"}}) {
        message.clear();
        EXPECT_FALSE(ParseUnattendedArguments(arguments, false, options, message)) << "accepted " << arguments[1];
        EXPECT_FALSE(message.empty()) << "no message for " << arguments[1];
    }
    EXPECT_TRUE(ParseUnattendedArguments({"/uninst", "UninstallKey=Morvane 2012-01-31 14.05.09", "/S", "/remove"},
                                         true, options, message))
        << "the uninstaller takes its registered command line, whatever its parameter";
}

TEST(UnattendedOptions, PreselectedLanguageFromThePrimaryLanguage)
{
    EXPECT_EQ(PreselectedLanguage(0x07), "");
    EXPECT_EQ(PreselectedLanguage(0x0A), "ES");
    EXPECT_EQ(PreselectedLanguage(0x0C), "FR");
    EXPECT_EQ(PreselectedLanguage(0x0E), "HU");
    EXPECT_EQ(PreselectedLanguage(0x10), "IT");
    EXPECT_EQ(PreselectedLanguage(0x15), "PL");
    EXPECT_EQ(PreselectedLanguage(0x09), "EN");
    EXPECT_EQ(PreselectedLanguage(0x13), "EN") << "Dutch gets English";
}

TEST(UnattendedOptions, LanguageOfTheLoadedTexts)
{
    InitMultiLingua(0x0409, 1252);
    LoadFromWideText(u"DE=Ordner\r\nEN=Folder\r\nHU=Mappa\r\n", true);
    TUnattendedOptions options;
    std::string code;
    options.HasLanguage = true;
    for (const char* loaded : {"EN", "HU", "DE"}) {
        options.Language = loaded;
        EXPECT_TRUE(ChooseUnattendedLanguage(options, 0x07, code)) << loaded;
        EXPECT_EQ(code, loaded);
    }
    options.Language = "PL";
    EXPECT_FALSE(ChooseUnattendedLanguage(options, 0x15, code)) << "PL is not in the texts";
    EXPECT_EQ(code, "");

    options = TUnattendedOptions();
    EXPECT_TRUE(ChooseUnattendedLanguage(options, 0x0E, code));
    EXPECT_EQ(code, "HU") << "Hungarian system: its preselection is loaded";
    ChooseUnattendedLanguage(options, 0x15, code);
    EXPECT_EQ(code, "DE") << "Polish system: PL is not loaded, the base language stays";
    ChooseUnattendedLanguage(options, 0x07, code);
    EXPECT_EQ(code, "DE");
    ChooseUnattendedLanguage(options, 0x13, code);
    EXPECT_EQ(code, "EN") << "Dutch system: English";

    InitMultiLingua(0x0409, 1252);
    options.HasLanguage = true;
    options.Language = "DE";
    EXPECT_TRUE(ChooseUnattendedLanguage(options, 0x09, code)) << "the base language needs no texts";
    EXPECT_EQ(code, "DE");
    options.Language = "EN";
    EXPECT_FALSE(ChooseUnattendedLanguage(options, 0x09, code)) << "without texts only the base language";
    DoneMultiLingua();
}
