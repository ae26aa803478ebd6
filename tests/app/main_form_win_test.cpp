// The main window and the persons dialog in this process: components found by
// their names, layout, language choice, install question, the persons dialog,
// and a screenshot of every panel in every language.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <direct.h>
#include <memory>
#include <string>
#include <vector>

#include "app/component_names_win.h"
#include "app/main_form_win.h"
#include "app/persons_form_win.h"
#include "app/win_components_win.h"
#include "container/sections.h"
#include "container/zlib_wrapper.h"
#include "engine/engine_state.h"
#include "lang/byte_order.h"
#include "lang/ml_startup.h"
#include "lang/translation.h"
#include "support/test_support.h"
#include "window_driver_win.h"

namespace {

const char* const Languages[] = {"DE", "EN", "ES", "FR", "IT", "HU", "PL"};

std::string DemoLanguageFile()
{
    const char* source = std::getenv("SETUP_SOURCE_DIR");
    return ReadTestFile(std::string(source ? source : ".") + "/examples/morvane/Setup.lng");
}

std::string Text(HWND window)
{
    const int length = GetWindowTextLengthA(window);
    std::string text(static_cast<std::size_t>(length) + 1, '\0');
    text.resize(static_cast<std::size_t>(GetWindowTextA(window, text.data(), length + 1)));
    return text;
}

bool Checked(HWND window)
{
    return SendMessageA(window, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

// 8-bit window text as the controls hold it.
std::wstring Wide(const std::string& text)
{
    std::wstring wide(text.size(), L'\0');
    wide.resize(static_cast<std::size_t>(
        MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), wide.data(), static_cast<int>(wide.size()))));
    return wide;
}

int TextWidthIn(HWND control, const std::string& text)
{
    HDC dc = GetDC(control);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageA(control, WM_GETFONT, 0, 0)));
    SIZE size{};
    const std::wstring wide = Wide(text);
    GetTextExtentPoint32W(dc, wide.data(), static_cast<int>(wide.size()), &size);
    SelectObject(dc, old);
    ReleaseDC(control, dc);
    return size.cx;
}

void Pump()
{
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

class MainFormTest : public ::testing::Test {
protected:
    void SetUp() override { Start(DemoLanguageFile(), 0x0407); }

    void Start(const std::string& languageText, unsigned short systemLanguage, std::uint32_t codePage = 1252)
    {
        form_.reset();
        ReleasePersonsForm();
        InitMultiLingua(systemLanguage, codePage);
        if (!languageText.empty()) LoadFromWideText(*MLSystem, BytesToWide(languageText), true);
        ResetEngineState();
        CreatePersonsTerms();
        form_ = std::make_unique<TBvSetupForm1>();
        form_->Show();
        Pump();
    }

    void TearDown() override
    {
        ReleasePersonsForm();
        form_.reset();
        Pump();
        DoneMultiLingua();
        ResetEngineState();
    }

    HWND Find(const std::string& name) const { return FindComponent(form_->Handle(), name); }

    std::unique_ptr<TBvSetupForm1> form_;
};

TEST_F(MainFormTest, EveryComponentSitsInItsPlaceWithItsGermanText)
{
    char className[64] = {};
    GetClassNameA(form_->Handle(), className, sizeof className);
    EXPECT_STREQ(className, "TBvSetupForm1");
    EXPECT_EQ(Text(form_->Handle()).rfind("Setup   ", 0), 0u) << Text(form_->Handle());
    EXPECT_EQ(ComponentName(form_->Handle()), "BvSetupForm1");

    struct Place {
        const char* name;
        const char* parent;
        int left, top, width, height;  // width 0: not fixed
        const char* text;              // Windows-1252; null: not checked
    };
    const Place places[] = {
        {"SetupTaskLabel", "", 28, 24, 0, 0, "Setup f\xFCr"},
        {"Label6", "", 28, 48, 621, 35, "Morvane"},
        {"Label5", "", 28, 88, 0, 0, "Schl\xFCsselverwaltung"},
        {"VersionText", "AskPanel", 20, 16, 449, 53, ""},
        {"Label8", "AskPanel", 20, 78, 0, 0, "Programm-Ordner"},
        {"ChooseBtn", "AskPanel", 342, 72, 123, 21, "Durchsuchen ..."},
        {"PgmPathEd", "AskPanel", 20, 96, 445, 24, nullptr},
        {"CreateDesktopLinkCheck", "AskPanel", 20, 136, 297, 17, "Verkn\xFCpfung auf dem Desktop erstellen"},
        {"Label4", "AskPanel", 156, 176, 0, 0, "Installation starten?"},
        {"StartBtn", "AskPanel", 156, 200, 90, 33, "Ja"},
        {"NoBtn", "AskPanel", 256, 200, 90, 33, "Abbrechen"},
        {"ProgressLabel", "ProgressPanel", 44, 56, 0, 0, "Die Installation l\xE4uft - bitte warten ..."},
        {"GermanLabel", "LngPanel", 20, 16, 0, 0, "Bitte w\xE4hlen Sie Ihre bevorzugte Sprache."},
        {"EnglishLabel", "LngPanel", 20, 36, 0, 0, "Please select your language preference."},
        {"ESLabel", "LngPanel", 20, 56, 0, 0, "Por favor elija su idioma de preferencia."},
        {"LngGermanRadio", "LngPanel", 136, 88, 113, 17, "Deutsch"},
        {"LngEnglishRadio", "LngPanel", 136, 108, 0, 0, "English"},
        {"LngESRadio", "LngPanel", 136, 128, 0, 0, "Espa\xF1ol"},
        {"LngFRRadio", "LngPanel", 136, 148, 0, 0, "Fran\xE7" "ais"},
        {"LngITRadio", "LngPanel", 136, 168, 0, 0, "Italiano"},
        {"LngHURadio", "LngPanel", 136, 188, 0, 0, "Magyar"},
        {"LngPLRadio", "LngPanel", 136, 208, 0, 0, "Polski"},
        {"LngOkBtn", "LngPanel", 84, 248, 90, 33, "OK"},
        {"Button1", "LngPanel", 184, 248, 90, 33, "Abbrechen"},
        {"UninstallText", "UninstAskPanel", 36, 20, 309, 61, ""},
        {"UninstStartBtn", "UninstAskPanel", 92, 88, 90, 29, "Entfernen"},
        {"UninstNoBtn", "UninstAskPanel", 196, 88, 90, 29, "Abbrechen"},
    };
    for (const Place& place : places) {
        HWND window = Find(place.name);
        ASSERT_NE(window, nullptr) << place.name << " cannot be found by its name";
        HWND parent = *place.parent ? Find(place.parent) : form_->Handle();
        EXPECT_EQ(GetParent(window), parent) << place.name;
        const RECT rect = RectInParent(window);
        EXPECT_EQ(rect.left, place.left) << place.name;
        EXPECT_EQ(rect.top, place.top) << place.name;
        if (place.width) {
            EXPECT_EQ(rect.right - rect.left, place.width) << place.name;
            EXPECT_EQ(rect.bottom - rect.top, place.height) << place.name;
        }
        if (place.text) {
            EXPECT_EQ(Text(window), place.text) << place.name;
        }
    }
    const std::pair<const char*, SIZE> panels[] = {
        {"AskPanel", {489, 253}}, {"ProgressPanel", {417, 129}}, {"LngPanel", {353, 313}}, {"UninstAskPanel", {373, 141}}};
    for (const auto& [name, size] : panels) {
        HWND panel = Find(name);
        ASSERT_NE(panel, nullptr) << name;
        RECT rect;
        GetWindowRect(panel, &rect);
        EXPECT_EQ(rect.right - rect.left, size.cx) << name;
        EXPECT_EQ(rect.bottom - rect.top, size.cy) << name;
        EXPECT_EQ(IsWindowVisible(panel) != FALSE, std::string(name) == "LngPanel") << name << ": only the language panel shows";
    }
    EXPECT_TRUE(Checked(Find("CreateDesktopLinkCheck")));
    EXPECT_TRUE(Checked(Find("LngGermanRadio")));
    EXPECT_NE(GetWindowLongA(Find("StartBtn"), GWL_STYLE) & BS_DEFPUSHBUTTON, 0) << "StartBtn is the default button";
    EXPECT_NE(GetWindowLongA(Find("LngOkBtn"), GWL_STYLE) & BS_DEFPUSHBUTTON, 0);
    EXPECT_NE(GetWindowLongA(Find("UninstStartBtn"), GWL_STYLE) & BS_DEFPUSHBUTTON, 0);
    EXPECT_NE(GetWindowLongA(Find("VersionText"), GWL_STYLE) & SS_NOPREFIX, 0) << "an & shows as it is";

    // Keyboard order of the install question.
    form_->ShowPanel(form_->AskPanel);
    const char* order[] = {"StartBtn", "NoBtn", "PgmPathEd", "CreateDesktopLinkCheck", "ChooseBtn", "VersionText"};
    HWND current = Find(order[0]);
    for (std::size_t i = 1; i < std::size(order); ++i) {
        current = GetNextDlgTabItem(form_->Handle(), current, FALSE);
        EXPECT_EQ(ComponentName(current), order[i]) << "after " << order[i - 1];
    }
    form_->ShowPanel(form_->LngPanel);
    const char* lngOrder[] = {"LngOkBtn", "Button1", "LngGermanRadio"};
    current = Find(lngOrder[0]);
    for (std::size_t i = 1; i < std::size(lngOrder); ++i) {
        current = GetNextDlgTabItem(form_->Handle(), current, FALSE);
        EXPECT_EQ(ComponentName(current), lngOrder[i]) << "after " << lngOrder[i - 1];
    }
}

TEST_F(MainFormTest, PanelsStayCentredAlsoWhenLargerThanTheWindow)
{
    EXPECT_EQ(CenteredOffset(688, 353), 167);
    EXPECT_EQ(CenteredOffset(350, 353), -1) << "a difference of -3 truncates toward zero";
    EXPECT_EQ(CenteredOffset(100, 253), -76);

    HWND window = form_->Handle();
    ShowWindow(window, SW_RESTORE);
    for (const SIZE client : {SIZE{688, 453}, SIZE{300, 200}, SIZE{901, 777}}) {
        RECT frame{0, 0, client.cx, client.cy};
        AdjustWindowRectEx(&frame, GetWindowLongA(window, GWL_STYLE), FALSE, GetWindowLongA(window, GWL_EXSTYLE));
        SetWindowPos(window, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top, SWP_NOMOVE | SWP_NOZORDER);
        Pump();
        RECT area;
        GetClientRect(window, &area);
        for (TWinComponent* panel : {form_->LngPanel, form_->AskPanel}) {
            form_->ShowPanel(panel);
            const RECT rect = RectInParent(panel->Handle());
            EXPECT_EQ(rect.left, CenteredOffset(area.right, rect.right - rect.left)) << panel->Name() << " " << client.cx;
            EXPECT_EQ(rect.top, CenteredOffset(area.bottom, rect.bottom - rect.top)) << panel->Name() << " " << client.cy;
        }
        const RECT picture = RectInParent(Find("BgImage"));
        EXPECT_EQ(picture.right, area.right) << "the picture fills the client area";
        EXPECT_EQ(picture.bottom, area.bottom);
    }
    form_->ShowPanel(nullptr);
    for (const char* name : {"AskPanel", "ProgressPanel", "LngPanel", "UninstAskPanel"})
        EXPECT_FALSE(IsWindowVisible(Find(name))) << name << " after ShowPanel(none)";
}

TEST_F(MainFormTest, SwitchingThroughEveryLanguageLeadsBackToTheGermanCaptions)
{
    // Captions are translated from the language shown, so every translation
    // must be found again by its own wording.
    std::vector<std::pair<HWND, std::string>> german;
    for (int i = 0; i < form_->Form->ComponentCount(); ++i)
        if (HWND window = static_cast<TWinComponent*>(form_->Form->Components(i))->Handle())
            german.emplace_back(window, Text(window));
    for (const char* language : Languages) {
        form_->SelectLanguage(language);
        ASSERT_EQ(MLSystem->CurrentLng, language);
    }
    for (const char* language : {"HU", "FR", "PL", "IT", "ES", "EN", "HU", "DE"}) form_->SelectLanguage(language);
    for (const auto& [window, text] : german) EXPECT_EQ(Text(window), text) << ComponentName(window);
}

TEST_F(MainFormTest, ChoosingALanguageTranslatesEveryCaption)
{
    SendMessageA(Find("LngEnglishRadio"), BM_CLICK, 0, 0);
    EXPECT_EQ(MLSystem->CurrentLng, "EN");
    EXPECT_TRUE(Checked(Find("LngEnglishRadio")));
    EXPECT_FALSE(Checked(Find("LngGermanRadio")));
    EXPECT_EQ(Text(Find("StartBtn")), "Yes");
    EXPECT_EQ(Text(Find("NoBtn")), "Cancel");
    EXPECT_EQ(Text(Find("Button1")), "Cancel");
    EXPECT_EQ(Text(Find("ChooseBtn")), "Browse ...");
    EXPECT_EQ(Text(Find("Label4")), "Start the installation?");
    EXPECT_EQ(Text(Find("Label5")), "Key Management");
    EXPECT_EQ(Text(Find("CreateDesktopLinkCheck")), "Create a shortcut on the desktop");
    EXPECT_EQ(Text(Find("GermanLabel")), "Bitte w\xE4hlen Sie Ihre bevorzugte Sprache.") << "never translated";
    EXPECT_EQ(Text(Find("LngESRadio")), "Espa\xF1ol");
    EXPECT_EQ(Text(Find("ESLabel")), "Por favor elija su idioma de preferencia.");

    form_->SelectLanguage("ITALIAN");  // only the first three characters count: no such language
    EXPECT_EQ(MLSystem->CurrentLng, "EN");
    form_->SelectLanguage("IT");
    EXPECT_EQ(Text(Find("ESLabel")), "Si prega di selezionare la lingua di preferenza.");
    form_->SelectLanguage("FR");
    EXPECT_EQ(Text(Find("ESLabel")), "Veuillez s\xE9lectionner votre langue de pr\xE9\x66\xE9rence.");
    EXPECT_TRUE(Checked(Find("LngFRRadio")));
    EXPECT_FALSE(Checked(Find("LngITRadio")));
    HWND check = Find("CreateDesktopLinkCheck");
    const RECT rect = RectInParent(check);
    EXPECT_GE(rect.right - rect.left, TextWidthIn(check, Text(check)) + 22) << "check boxes grow to their text";

    form_->SelectLanguage("PL");
    LOGFONTA font{};
    GetObjectA(reinterpret_cast<HFONT>(SendMessageA(Find("StartBtn"), WM_GETFONT, 0, 0)), sizeof font, &font);
    EXPECT_EQ(font.lfCharSet, 238) << "Polish takes the Central European character set";
    form_->SelectLanguage("DE");
    GetObjectA(reinterpret_cast<HFONT>(SendMessageA(Find("Label5"), WM_GETFONT, 0, 0)), sizeof font, &font);
    EXPECT_EQ(font.lfCharSet, 0);
    EXPECT_STREQ(font.lfFaceName, "Arial");
    EXPECT_EQ(Text(Find("StartBtn")), "Ja");
    EXPECT_EQ(Text(Find("Label5")), "Schl\xFCsselverwaltung");
}

TEST_F(MainFormTest, InstallQuestionShowsVersionAndFolder)
{
    Engine.SetupVersion = "2012-01";
    Engine.PgmPath = "C:\\Programme\\Morvane\\";
    SendMessageA(Find("LngOkBtn"), BM_CLICK, 0, 0);
    EXPECT_TRUE(IsWindowVisible(Find("AskPanel")));
    EXPECT_FALSE(IsWindowVisible(Find("LngPanel")));
    EXPECT_EQ(Text(Find("VersionText")), "Dieses Setup-Programm installiert Morvane (Version 2012-01) auf Ihrem Computer.");
    EXPECT_EQ(Text(Find("PgmPathEd")), "C:\\Programme\\Morvane\\");

    Engine.SetupVersion.clear();
    form_->SelectLanguage("EN");
    form_->ShowInstallQuestion();
    EXPECT_EQ(Text(Find("VersionText")), Unit1TextFmt(5, "Morvane"));
    EXPECT_EQ(Text(Find("VersionText")).find("%1"), std::string::npos);
    EXPECT_NE(Text(Find("VersionText")).find("Morvane on"), std::string::npos) << Text(Find("VersionText"));
    EXPECT_EQ(ProductVersionName(std::string(300, '9')).size(), 255u);

    SendMessageA(Find("NoBtn"), BM_CLICK, 0, 0);
    EXPECT_TRUE(form_->Destroyed()) << "NoBtn closes the window";
}

// A language text with German and English only.
std::string TwoLanguages()
{
    return "\xEF\xBB\xBF"
           "DE=Ja\r\nEN=Yes\r\n\r\nDE=Abbrechen\r\nEN=Cancel\r\n\r\n";
}

TEST(MainFormLanguages, AMissingLanguageMovesTheMarkBackAndDutchPreselectsEnglish)
{
    InitMultiLingua(0x0413, 1252);  // Dutch
    LoadFromWideText(*MLSystem, BytesToWide(TwoLanguages()), true);
    ResetEngineState();
    {
        TBvSetupForm1 form;
        HWND french = FindComponent(form.Handle(), "LngFRRadio");
        EXPECT_EQ(MLSystem->CurrentLng, "EN") << "a Dutch system gets English";
        EXPECT_TRUE(Checked(FindComponent(form.Handle(), "LngEnglishRadio")));
        SendMessageA(french, BM_CLICK, 0, 0);
        EXPECT_EQ(MLSystem->CurrentLng, "EN");
        EXPECT_FALSE(Checked(french)) << "the mark goes back to the current language";
        EXPECT_TRUE(Checked(FindComponent(form.Handle(), "LngEnglishRadio")));
        EXPECT_EQ(Text(FindComponent(form.Handle(), "StartBtn")), "Yes");
    }
    InitMultiLingua(0x0415, 1250);  // Polish system without texts: nothing switches
    ResetEngineState();
    {
        TBvSetupForm1 form;
        EXPECT_EQ(MLSystem->CurrentLng, "DE");
        EXPECT_TRUE(Checked(FindComponent(form.Handle(), "LngGermanRadio")));
        EXPECT_EQ(Text(FindComponent(form.Handle(), "GermanLabel")), "Bitte waehlen Sie Ihre bevorzugte Sprache.");
        EXPECT_EQ(Text(FindComponent(form.Handle(), "LngFRRadio")), "Francais");
    }
    DoneMultiLingua();
}

TEST(MainFormUninstall, OpensOnTheRemovalQuestionInTheListsLanguage)
{
    TempDir folder;
    const std::string uninstaller = folder.File("uninstall.exe");
    WriteTestFile(uninstaller, "MZ" + MakeSection(SectionBeginningMark, "") +
                                   MakeSection(SectionUninst, CompressString("UninstallKey=Morvane\r\nLng=EN\r\n", LevelDefault)));
    UseSectionsFile(uninstaller);
    InitMultiLingua(0x0407, 1252);
    LoadFromWideText(*MLSystem, BytesToWide(DemoLanguageFile()), true);
    ResetEngineState();
    Engine.UninstallMode = true;
    {
        TBvSetupForm1 form;
        EXPECT_EQ(MLSystem->CurrentLng, "EN");
        EXPECT_TRUE(IsWindowVisible(FindComponent(form.Handle(), "UninstAskPanel")) || form.CurrentPanel == form.UninstAskPanel);
        EXPECT_EQ(form.CurrentPanel, form.UninstAskPanel);
        EXPECT_EQ(Text(FindComponent(form.Handle(), "UninstallText")), Unit1Text(13));
        EXPECT_EQ(Text(FindComponent(form.Handle(), "UninstallText")).rfind("Do you", 0), 0u)
            << Text(FindComponent(form.Handle(), "UninstallText"));
        EXPECT_EQ(Text(FindComponent(form.Handle(), "SetupTaskLabel")), Unit1Text(3));
        EXPECT_EQ(Text(FindComponent(form.Handle(), "UninstStartBtn")), "Remove");
    }
    UseSectionsFile("");
    DoneMultiLingua();
    ResetEngineState();
}

// Finds the persons dialog of this thread.
HWND PersonsDialog()
{
    HWND dialog = FindThreadComponent(GetCurrentThreadId(), "PersonsForm");
    return dialog && IsWindowVisible(dialog) ? dialog : nullptr;
}

TEST_F(MainFormTest, PersonsDialogReturnsTheGermanTerm)
{
    bool found = false;
    std::string term = DriveModal(PersonsDialog, [](HWND dialog) {
        EXPECT_EQ(Text(FindComponent(dialog, "HolderText")), GetLngText(2));
        EXPECT_FALSE(GetLngText(2).empty());
        EXPECT_EQ(Text(dialog), "Schl\xFCsselbesitzer");
        SendMessageA(FindComponent(dialog, "OkBtn"), BM_CLICK, 0, 0);
    }, [] { return AskPersonsTerm(); }, found);
    EXPECT_TRUE(found);
    EXPECT_EQ(term, "Mitarbeiter") << "OK without touching the list";

    term = DriveModal(PersonsDialog, [](HWND dialog) { SendMessageA(dialog, WM_CLOSE, 0, 0); },
                      [] { return AskPersonsTerm(); }, found);
    EXPECT_TRUE(found);
    EXPECT_EQ(term, "") << "the close box gives no term";

    ReleasePersonsForm();
    form_->SelectLanguage("EN");
    std::string shown;
    term = DriveModal(PersonsDialog, [&shown](HWND dialog) {
        HWND list = FindComponent(dialog, "ListBox");
        SendMessageA(list, LB_SETCURSEL, 3, 0);
        char item[64] = {};
        SendMessageA(list, LB_GETTEXT, 3, reinterpret_cast<LPARAM>(item));
        shown = item;
        SaveWindowShot(dialog, "PersonsForm_EN");
        SendMessageA(FindComponent(dialog, "OkBtn"), BM_CLICK, 0, 0);
    }, [] { return AskPersonsTerm(); }, found);
    EXPECT_TRUE(found);
    EXPECT_EQ(term, "Kunden");
    EXPECT_EQ(shown, TranslateText("Kunden"));
    EXPECT_NE(shown, "Kunden") << "the list shows the translation";
}

TEST(PersonsTerms, FiveGermanTermsInOrder)
{
    CreatePersonsTerms();
    EXPECT_EQ(PersonsTerms, (std::vector<std::string>{"Mitarbeiter", "Mieter", "Besitzer", "Kunden", "Personen"}));
}

// Every control of the panel lies inside it and shows its whole text.
void ExpectTextsFit(HWND panel, const std::string& where)
{
    RECT area;
    GetClientRect(panel, &area);
    for (HWND child = GetWindow(panel, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        const std::string name = ComponentName(child);
        const RECT rect = RectInParent(child);
        EXPECT_LE(rect.right, area.right) << name << " leaves its panel in " << where;
        EXPECT_LE(rect.bottom, area.bottom) << name << " leaves its panel in " << where;
        char className[32] = {};
        GetClassNameA(child, className, sizeof className);
        const std::string text = Text(child);
        if (text.empty() || std::string(className) == "Edit") continue;
        const LONG style = GetWindowLongA(child, GWL_STYLE);
        const bool wraps = std::string(className) == "Static" && rect.bottom - rect.top > 30;
        if (wraps) {
            HDC dc = GetDC(child);
            HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageA(child, WM_GETFONT, 0, 0)));
            RECT need{0, 0, rect.right - rect.left, 0};
            DrawTextW(dc, Wide(text).c_str(), -1, &need, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
            SelectObject(dc, old);
            ReleaseDC(child, dc);
            EXPECT_LE(need.bottom, rect.bottom - rect.top) << name << " \"" << text << "\" in " << where;
            continue;
        }
        const bool button = std::string(className) == "Button" && (style & 0xF) <= BS_DEFPUSHBUTTON;
        const int room = (rect.right - rect.left) - (button ? 12 + (SendMessageA(child, BM_GETIMAGE, IMAGE_ICON, 0) ? 20 : 0) : 0);
        std::string shown = text;
        if (const std::size_t amp = shown.find('&'); amp != std::string::npos && !(style & SS_NOPREFIX)) shown.erase(amp, 1);
        EXPECT_LE(TextWidthIn(child, shown), room) << name << " \"" << text << "\" in " << where;
    }
}

// In the code page of the run, as the windows show their 8-bit texts in it; a
// run under a Central European locale shows Hungarian and Polish in full.
TEST_F(MainFormTest, EveryPanelInEveryLanguageFitsAndIsPhotographed)
{
    if (!std::getenv("SETUP_SCREENSHOT_DIR")) {
        _mkdir("screenshots");
        _putenv_s("SETUP_SCREENSHOT_DIR", "screenshots");
    }
    Start(DemoLanguageFile(), 0x0407, GetACP());
    const std::string page = "_cp" + std::to_string(GetACP());
    Engine.SetupVersion = "2012-01";
    Engine.PgmPath = "C:\\Program Files (x86)\\Morvane\\";
    HWND window = form_->Handle();
    SetForegroundWindow(window);
    for (const char* language : Languages) {
        form_->SelectLanguage(language);
        ASSERT_EQ(MLSystem->CurrentLng, language);
        form_->SetupTaskLabel->SetText(TranslateText(FromWindows1252("Setup f\xFCr")));
        form_->ShowPanel(form_->LngPanel);
        form_->ShowInstallQuestion();
        KillTimer(window, 1);
        form_->ProgressLabel->SetText(TranslateText(FromWindows1252("Die Installation l\xE4uft - bitte warten ...")));
        form_->UninstallText->SetText(Unit1Text(13));
        for (TWinComponent* panel : {form_->LngPanel, form_->AskPanel, form_->ProgressPanel, form_->UninstAskPanel}) {
            form_->ShowPanel(panel);
            Pump();
            ExpectTextsFit(panel->Handle(), panel->Name() + " " + language);
            SaveWindowShot(window, panel->Name() + "_" + language + page);
        }
        form_->ProgressLabel->SetText(Unit1Text(11));
        form_->ShowPanel(form_->ProgressPanel);
        Pump();
        ExpectTextsFit(form_->ProgressPanel->Handle(), std::string("removal progress ") + language);
        SaveWindowShot(window, std::string("ProgressPanel_removal_") + language + page);

        ReleasePersonsForm();
        bool found = false;
        DriveModal(PersonsDialog, [&](HWND dialog) {
            Pump();
            ExpectTextsFit(dialog, std::string("PersonsForm ") + language);
            SaveWindowShot(dialog, std::string("PersonsForm_") + language + page);
            SendMessageA(dialog, WM_CLOSE, 0, 0);
        }, [] { return AskPersonsTerm(); }, found);
        EXPECT_TRUE(found) << language;
    }
}

}  // namespace

namespace {

TEST(MainFormInstaller, CreationRunsThePathCommandsOfTheScript)
{
    TempDir folder;
    const std::string installer = folder.File("Setup.exe");
    const std::string script = "action=path,PgmPath=*Programs*\\Morvane\\,Registry=Brumo\\MorvaneFormTest,"
                               "Version=2012-01,\"MyStartMenu=*StartMenu*\\Morvane\\\"\r\n";
    WriteTestFile(installer, "MZ" + MakeSection(SectionBeginningMark, "") +
                                 MakeSection(SectionSetupCmd, CompressString(script, LevelDefault)) +
                                 MakeSection(SectionSetupBin, CompressString("", LevelDefault)));
    UseSectionsFile(installer);
    InitMultiLingua(0x0407, 1252);
    ResetEngineState();
    {
        TBvSetupForm1 form;
        EXPECT_EQ(Engine.SetupVersion, "2012-01");
        EXPECT_EQ(Engine.RegistryKey, "SOFTWARE\\Brumo\\MorvaneFormTest");
        ASSERT_GT(Engine.PgmPath.size(), 9u) << Engine.ErrorText;
        EXPECT_EQ(Engine.PgmPath.substr(Engine.PgmPath.size() - 9), "\\Morvane\\");
        EXPECT_EQ(Engine.OwnerWindow, form.Handle());
        EXPECT_TRUE(Engine.QuietErrors);
        EXPECT_EQ(form.CurrentPanel, form.LngPanel);
        form.ShowInstallQuestion();
        EXPECT_EQ(Text(FindComponent(form.Handle(), "PgmPathEd")), Engine.PgmPath);
    }
    UseSectionsFile("");
    DoneMultiLingua();
    ResetEngineState();
}

}  // namespace

namespace {

TEST(FolderChoice, StartFolderAndChosenProgramFolder)
{
    TempDir folder;
    const std::string existing = folder.Path().string();
    EXPECT_EQ(ChooserStartFolder("  " + existing + "\\  "), existing) << "trimmed, one final backslash dropped";
    EXPECT_EQ(ChooserStartFolder(existing + "\\Morvane\\"), existing) << "a missing folder opens its parent";
    const std::string programFiles = ChooserStartFolder("");
    EXPECT_FALSE(programFiles.empty());
    EXPECT_NE(programFiles.back(), '\\');
    EXPECT_EQ(ChooserStartFolder("Q:\\no\\such\\place"), programFiles) << "neither the folder nor its parent exist";

    EXPECT_EQ(ChosenProgramFolder("C:\\Tools\\In den Zielordner springen"), "C:\\Tools\\Morvane\\");
    EXPECT_EQ(ChosenProgramFolder("D:\\MORVANE\\In den Zielordner springen"), "D:\\MORVANE\\");
    EXPECT_EQ(ChosenProgramFolder("E:\\Apps\\morvane2\\x"), "E:\\Apps\\morvane2\\");
}

}  // namespace

namespace {

// Posts a key to the focused control and lets the program's own loop handle it.
void PressKey(WPARAM key)
{
    HWND focus = GetFocus();
    ASSERT_NE(focus, nullptr) << "no control has the focus";
    PostMessageA(focus, WM_KEYDOWN, key, 0);
    PostMessageA(focus, WM_KEYUP, key, 0xC0000000);
    ProcessPendingMessages();
}

TEST_F(MainFormTest, EnterAndEscPressTheDefaultAndCancelButtons)
{
    HWND window = form_->Handle();
    SetForegroundWindow(window);
    Pump();
    EXPECT_EQ(ComponentName(GetFocus()), "LngOkBtn") << "the panel's first control has the focus";
    PressKey(VK_RETURN);
    EXPECT_TRUE(IsWindowVisible(Find("AskPanel"))) << "Enter pressed LngOkBtn";
    KillTimer(window, 1);
    SetFocus(Find("PgmPathEd"));
    PressKey(VK_ESCAPE);
    EXPECT_TRUE(form_->Destroyed()) << "Esc pressed NoBtn, which closes the window";
}

TEST_F(MainFormTest, TheForegroundStepComesOnlyAfterTheFirstShow)
{
    HWND window = form_->Handle();
    EXPECT_TRUE(form_->FirstShowDone);
    EXPECT_NE(KillTimer(window, 2), FALSE) << "the first show arms the one-second timer";
    ShowWindow(window, SW_HIDE);
    ShowWindow(window, SW_SHOW);
    EXPECT_EQ(KillTimer(window, 2), FALSE) << "showing the window again does not";
}

}  // namespace
