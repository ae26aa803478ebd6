#include "app/main_form_win.h"

#include <commctrl.h>

#include <commdlg.h>

#include <exception>
#include <functional>

#include "app/message_dialogs_win.h"
#include "app/resources/resource_ids.h"
#include "engine/command_line.h"
#include "engine/command_text.h"
#include "engine/engine_state.h"
#include "engine/folders.h"
#include "engine/product_registry.h"
#include "engine/program_folder.h"
#include "engine/program_settings.h"
#include "engine/removal_finisher.h"
#include "engine/setup_script.h"
#include "engine/uninstaller.h"
#include "engine/unattended_options.h"
#include "lang/language_codes.h"
#include "lang/ml_startup.h"
#include "lang/translation.h"
#include "lang/window_translation.h"
#include "util/nt_security.h"
#include "app/persons_form_win.h"
#include "util/wide_text.h"

namespace {

const char PanelClassName[] = "SetupPanel";
const char PictureClassName[] = "SetupPicture";

constexpr int DesignClientWidth = 688;
constexpr int DesignClientHeight = 453;
constexpr COLORREF WindowColour = RGB(0, 0, 128);  // navy
constexpr COLORREF PanelColour = RGB(208, 208, 208);

// Posted when the window is shown: the current panel's default button gets
// the focus unless a control has it.
constexpr UINT FocusControlMessage = WM_APP + 1;

constexpr UINT_PTR FirstCheckTimerId = 1;
constexpr UINT FirstCheckInterval = 200;
constexpr UINT_PTR ForegroundTimerId = 2;
constexpr UINT ForegroundInterval = 1000;

const TMLStringList& Unit1Table()
{
    static const std::unique_ptr<TMLStringList> table = [] {
        std::unique_ptr<TMLStringList> texts = NewTextTable();
        texts->Add255Obj("Unit1", 0);
        texts->Add255Obj("Morvane", 1);
        texts->Add255Obj("Version", 2);
        texts->Add255Obj("De-Installation", 3);
        texts->Add255Obj("Das eingegebene Verzeichnis kann nicht benutzt werden.", 4);
        texts->Add255Obj("Dieses Setup-Programm installiert %1 auf Ihrem Computer.", 5);
        texts->Add255Obj("Das bereits installierte Programm ist entweder in Benutzung#13#oder Sie haben nicht die "
                         "ben\xF6tigen Dateirechte f\xFCr dessen Ersetzung.",
                         6);
        texts->Add255Obj("Es ist ein Fehler aufgetreten.#13#Das Setup wird abgebrochen.", 7);
        texts->Add255Obj("Die Installation wurde erfolgreich abgeschlossen.", 8);
        texts->Add255Obj("Die Installation war erfolgreich.#13#Das Programm wird nun gestartet.", 9);
        texts->Add255Obj("Morvane Erinnerung", 10);
        texts->Add255Obj("Programm wird gel\xF6scht - bitte warten ...", 11);
        texts->Add255Obj("Es ist bereits eine neuere Version installiert.#13#M\xF6\x63hten Sie trotzdem dieses alte "
                         "Setup verwenden?",
                         12);
        texts->Add255Obj("M\xF6\x63hten Sie das Programm Morvane von Ihrem Computer entfernen?", 13);
        texts->Add255Obj("In den Zielordner springen", 14);
        texts->Add255Obj(RemovalRightsGermanText, 15);
        return texts;
    }();
    return *table;
}

HBRUSH PanelBrush()
{
    static HBRUSH brush = CreateSolidBrush(PanelColour);
    return brush;
}

HBRUSH WindowBrush()
{
    static HBRUSH brush = CreateSolidBrush(WindowColour);
    return brush;
}

// Panels: a raised light grey plate whose children's notifications go to the
// main window.
LRESULT CALLBACK PanelProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_ERASEBKGND: {
        RECT rect;
        GetClientRect(window, &rect);
        FillRect(reinterpret_cast<HDC>(wParam), &rect, PanelBrush());
        DrawEdge(reinterpret_cast<HDC>(wParam), &rect, BDR_RAISEDOUTER, BF_RECT);
        return 1;
    }
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN: {
        HDC dc = reinterpret_cast<HDC>(wParam);
        SetBkColor(dc, PanelColour);
        SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
        return reinterpret_cast<LRESULT>(PanelBrush());
    }
    case WM_COMMAND:
    case WM_DRAWITEM:
        return SendMessageA(GetAncestor(window, GA_ROOT), message, wParam, lParam);
    default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
}

void RegisterWindowClasses(WNDPROC mainProc, WNDPROC pictureProc)
{
    static bool registered = false;
    if (registered) return;
    registered = true;
    HINSTANCE instance = GetModuleHandleA(nullptr);

    WNDCLASSEXA mainClass{};
    mainClass.cbSize = sizeof mainClass;
    mainClass.style = CS_HREDRAW | CS_VREDRAW;
    mainClass.lpfnWndProc = mainProc;
    mainClass.hInstance = instance;
    mainClass.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(IDI_SETUP));
    mainClass.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));
    mainClass.hbrBackground = WindowBrush();
    mainClass.lpszClassName = MainWindowClassName;
    RegisterClassExA(&mainClass);

    WNDCLASSEXA panelClass{};
    panelClass.cbSize = sizeof panelClass;
    panelClass.lpfnWndProc = PanelProc;
    panelClass.hInstance = instance;
    panelClass.hCursor = mainClass.hCursor;
    panelClass.lpszClassName = PanelClassName;
    RegisterClassExA(&panelClass);

    WNDCLASSEXA pictureClass{};
    pictureClass.cbSize = sizeof pictureClass;
    pictureClass.style = CS_HREDRAW | CS_VREDRAW;
    pictureClass.lpfnWndProc = pictureProc;
    pictureClass.hInstance = instance;
    pictureClass.hCursor = mainClass.hCursor;
    pictureClass.lpszClassName = PictureClassName;
    RegisterClassExA(&pictureClass);
}

TBvSetupForm1* FormOf(HWND window)
{
    return reinterpret_cast<TBvSetupForm1*>(GetWindowLongPtrA(window, GWLP_USERDATA));
}

} // namespace

std::string Unit1Text(int id)
{
    return Unit1Table().GetText(id);
}

std::string Unit1TextFmt(int id, const std::string& param)
{
    return Unit1Table().GetTextFmt(id, param);
}

int CenteredOffset(int outer, int inner)
{
    return (outer - inner) / 2;
}

std::string ProductVersionName(const std::string& setupVersion)
{
    std::string name = Unit1Text(1);
    if (!setupVersion.empty()) name += " (" + Unit1Text(2) + " " + setupVersion + ")";
    if (name.size() > 255) name.resize(255);
    return name;
}

TBvSetupForm1::TBvSetupForm1()
{
    RegisterWindowClasses(WindowProc, PictureProc);
    Form = std::make_unique<TWinComponent>(ComponentKind::Form, "BvSetupForm1", nullptr, nullptr);

    RECT frame{0, 0, DesignClientWidth, DesignClientHeight};
    const DWORD style = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
    AdjustWindowRectEx(&frame, style, FALSE, WS_EX_CONTROLPARENT);
    HWND window = CreateWindowExA(WS_EX_CONTROLPARENT, MainWindowClassName, "", style, CW_USEDEFAULT, CW_USEDEFAULT,
                                  frame.right - frame.left, frame.bottom - frame.top, nullptr, nullptr,
                                  GetModuleHandleA(nullptr), this);
    Form->AttachHandle(window);
    WinApplication().AddForm(Form.get());
    background_.LoadFromResource(GetModuleHandleA(nullptr), IDR_BACKGROUND_JPEG);
    CreateComponents();
    RunWithErrorDisplay(Handle(), [this] { FormCreate(); });
}

TBvSetupForm1::~TBvSetupForm1()
{
    if (!destroyed_ && Handle()) DestroyWindow(Handle());
    WinApplication().RemoveForm(Form.get());
}

void TBvSetupForm1::Show()
{
    ShowWindow(Handle(), SW_SHOWMAXIMIZED);
    UpdateWindow(Handle());
}

void TBvSetupForm1::Close()
{
    if (!destroyed_) SendMessageA(Handle(), WM_CLOSE, 0, 0);
}

TWinComponent* TBvSetupForm1::AddControl(ComponentKind kind, const char* name, TWinComponent* parent,
                                         const char* windowClass, const std::string& text, DWORD style, int left,
                                         int top, int width, int height)
{
    TWinComponent& component = Form->Add(kind, name, parent);
    const int id = nextId_++;
    HWND window = CreateWindowExA(0, windowClass, text.c_str(), WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | style, left,
                                  top, width, height, parent->Handle(),
                                  reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleA(nullptr),
                                  nullptr);
    component.AttachHandle(window);
    controlIds_[id] = &component;
    return &component;
}

TWinComponent* TBvSetupForm1::AddPanel(const char* name, int width, int height)
{
    TWinComponent* panel = AddControl(ComponentKind::Panel, name, Form.get(), PanelClassName, "", 0, 0, 0, width,
                                      height);
    // Hidden at first; Tab walks into the panel's controls.
    ShowWindow(panel->Handle(), SW_HIDE);
    SetWindowLongPtrA(panel->Handle(), GWL_EXSTYLE,
                      GetWindowLongPtrA(panel->Handle(), GWL_EXSTYLE) | WS_EX_CONTROLPARENT);
    return panel;
}

void TBvSetupForm1::CreateComponents()
{
    TWinComponent* form = Form.get();
    TFontSpec windowFont;  // Verdana, 13 pixels, ANSI character set
    form->SetFont(windowFont);

    BgImage = AddControl(ComponentKind::OtherControl, "BgImage", form, PictureClassName, "", 0, 0, 0,
                         DesignClientWidth, DesignClientHeight);

    // The three title lines are drawn by the window itself, white over the picture.
    auto titleLabel = [&](const char* name, const std::string& text, int left, int top, int height, bool italic) {
        TWinComponent* label = AddControl(ComponentKind::Label, name, form, "STATIC", text, SS_OWNERDRAW, left, top,
                                          10, 10);
        TFontSpec font;
        font.Face = "Arial";
        font.Height = height;
        font.Bold = true;
        font.Italic = italic;
        label->SetFont(font);
        return label;
    };
    SetupTaskLabel = titleLabel("SetupTaskLabel", FromWindows1252("Setup f\xFCr"), 28, 24, 21, false);
    SetupTaskLabel->SetAutoSize(true);
    Label6 = titleLabel("Label6", "Morvane", 28, 48, 31, true);
    SetWindowPos(Label6->Handle(), nullptr, 0, 0, 621, 35, SWP_NOMOVE | SWP_NOZORDER);
    Label5 = titleLabel("Label5", FromWindows1252("Schl\xFCsselverwaltung"), 28, 88, 21, false);
    Label5->SetAutoSize(true);

    auto label = [&](const char* name, TWinComponent* parent, const std::string& text, int left, int top) {
        TWinComponent* result = AddControl(ComponentKind::Label, name, parent, "STATIC", text, SS_LEFT, left, top,
                                           10, 10);
        result->SetAutoSize(true);
        return result;
    };
    const DWORD button = WS_TABSTOP | BS_PUSHBUTTON;
    const DWORD defaultButton = WS_TABSTOP | BS_DEFPUSHBUTTON;

    // Install question; controls are made in keyboard order.
    AskPanel = AddPanel("AskPanel", 489, 253);
    StartBtn = AddControl(ComponentKind::Button, "StartBtn", AskPanel, "BUTTON", "Ja", defaultButton, 156, 200, 90, 33);
    NoBtn = AddControl(ComponentKind::Button, "NoBtn", AskPanel, "BUTTON", "Abbrechen", button, 256, 200, 90, 33);
    PgmPathEd = AddControl(ComponentKind::Edit, "PgmPathEd", AskPanel, "EDIT", "",
                           WS_TABSTOP | WS_BORDER | ES_AUTOHSCROLL, 20, 96, 445, 24);
    CreateDesktopLinkCheck = AddControl(ComponentKind::CheckBox, "CreateDesktopLinkCheck", AskPanel, "BUTTON",
                                        FromWindows1252("Verkn\xFCpfung auf dem Desktop erstellen"),
                                        WS_TABSTOP | BS_AUTOCHECKBOX, 20, 136, 297, 17);
    SendMessageA(CreateDesktopLinkCheck->Handle(), BM_SETCHECK, BST_CHECKED, 0);
    ChooseBtn = AddControl(ComponentKind::Button, "ChooseBtn", AskPanel, "BUTTON", "Durchsuchen ...", button, 342, 72,
                           123, 21);
    VersionText = AddControl(ComponentKind::OtherControl, "VersionText", AskPanel, "STATIC", "",
                             WS_TABSTOP | SS_LEFT | SS_NOPREFIX, 20, 16, 449, 53);
    Label8 = label("Label8", AskPanel, "Programm-Ordner", 20, 78);
    Label4 = label("Label4", AskPanel, "Installation starten?", 156, 176);
    panelKeys_[AskPanel] = {StartBtn, NoBtn};

    ProgressPanel = AddPanel("ProgressPanel", 417, 129);
    ProgressLabel = label("ProgressLabel", ProgressPanel, FromWindows1252("Die Installation l\xE4uft - bitte warten ..."),
                          44, 56);

    LngPanel = AddPanel("LngPanel", 353, 313);
    LngOkBtn = AddControl(ComponentKind::Button, "LngOkBtn", LngPanel, "BUTTON", "OK", defaultButton, 84, 248, 90, 33);
    Button1 = AddControl(ComponentKind::Button, "Button1", LngPanel, "BUTTON", "Abbrechen", button, 184, 248, 90, 33);
    struct RadioSpec {
        TWinComponent** member;
        const char* name;
        const char* caption;
    };
    const RadioSpec radios[] = {
        {&LngGermanRadio, "LngGermanRadio", "Deutsch"}, {&LngEnglishRadio, "LngEnglishRadio", "English"},
        {&LngESRadio, "LngESRadio", "Espa\xF1ol"},     {&LngFRRadio, "LngFRRadio", "Fran\xE7" "ais"},
        {&LngITRadio, "LngITRadio", "Italiano"},       {&LngHURadio, "LngHURadio", "Magyar"},
        {&LngPLRadio, "LngPLRadio", "Polski"},
    };
    int top = 88;
    for (const RadioSpec& radio : radios) {
        const DWORD style = BS_AUTORADIOBUTTON | (radio.member == &LngGermanRadio ? WS_GROUP | WS_TABSTOP : 0);
        *radio.member = AddControl(ComponentKind::RadioButton, radio.name, LngPanel, "BUTTON",
                                   FromWindows1252(radio.caption), style, 136, top, 113, 17);
        top += 20;
    }
    SendMessageA(LngGermanRadio->Handle(), BM_SETCHECK, BST_CHECKED, 0);
    GermanLabel = label("GermanLabel", LngPanel, "-", 20, 16);
    EnglishLabel = label("EnglishLabel", LngPanel, "-", 20, 36);
    ESLabel = label("ESLabel", LngPanel, "-", 20, 56);
    panelKeys_[LngPanel] = {LngOkBtn, Button1};

    UninstAskPanel = AddPanel("UninstAskPanel", 373, 141);
    UninstStartBtn = AddControl(ComponentKind::Button, "UninstStartBtn", UninstAskPanel, "BUTTON", "Entfernen",
                                defaultButton, 92, 88, 90, 29);
    UninstNoBtn = AddControl(ComponentKind::Button, "UninstNoBtn", UninstAskPanel, "BUTTON", "Abbrechen", button, 196,
                             88, 90, 29);
    UninstallText = AddControl(ComponentKind::OtherControl, "UninstallText", UninstAskPanel, "STATIC", "",
                               WS_TABSTOP | SS_LEFT | SS_NOPREFIX, 36, 20, 309, 61);
    panelKeys_[UninstAskPanel] = {UninstStartBtn, UninstNoBtn};

    for (TWinComponent* glyphButton : {StartBtn, LngOkBtn})
        SendMessageA(glyphButton->Handle(), BM_SETIMAGE, IMAGE_ICON, reinterpret_cast<LPARAM>(CheckGlyph()));

    FirstCheckTimer = &Form->Add(ComponentKind::NonVisual, "FirstCheckTimer", nullptr);
    ForegroundTimer = &Form->Add(ComponentKind::NonVisual, "ForegroundTimer", nullptr);
    OpenDialog = &Form->Add(ComponentKind::NonVisual, "OpenDialog", nullptr);

    // The picture lies under everything else.
    SetWindowPos(BgImage->Handle(), HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void TBvSetupForm1::FormCreate()
{
    FormResize();
    TranslateForm(*Form);
    SetWindowTextA(Handle(), FromWindows1252("Setup   \xA9 Brumo - Morvane Schl\xFCsselverwaltung").c_str());
    Engine.OwnerWindow = Handle();
    Engine.QuietErrors = true;
    if (Engine.UninstallMode) {
        const std::vector<std::string> list = ReadUninstallList();
        SelectLanguage(ParamValue(list, "Lng"));
        SetupTaskLabel->SetText(Unit1Text(3));
        UninstallText->SetText(Unit1Text(13));
        ShowPanel(UninstAskPanel);
        return;
    }
    RunSetupScript(true);
    PreselectLanguage();
    ShowPanel(LngPanel);
}

void TBvSetupForm1::ShowPanel(TWinComponent* panel)
{
    if (CurrentPanel) ShowWindow(CurrentPanel->Handle(), SW_HIDE);
    CurrentPanel = panel;
    if (!panel) return;
    CenterPanel();
    // Panels lie above the title lines, as windowed controls above drawn labels.
    SetWindowPos(panel->Handle(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    ShowWindow(panel->Handle(), SW_SHOW);
    const TPanelKeys keys = panelKeys_[panel];
    if (keys.DefaultButton && IsWindowVisible(Handle())) SetFocus(keys.DefaultButton->Handle());
}

void TBvSetupForm1::CenterPanel()
{
    if (!CurrentPanel) return;
    RECT client;
    GetClientRect(Handle(), &client);
    RECT panel;
    GetWindowRect(CurrentPanel->Handle(), &panel);
    const int width = panel.right - panel.left;
    const int height = panel.bottom - panel.top;
    SetWindowPos(CurrentPanel->Handle(), nullptr, CenteredOffset(client.right, width),
                 CenteredOffset(client.bottom, height), 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void TBvSetupForm1::SetRadio(TWinComponent* radio, bool checked)
{
    SendMessageA(radio->Handle(), BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

void TBvSetupForm1::SelectLanguage(const std::string& requested)
{
    const LngCode code = CutLngCode(requested);
    if (!code.empty() && MLSystem) SwitchLanguage(MLSystem->CurrentLng, code, LngCode());
    const LngCode current = MLSystem ? MLSystem->CurrentLng : LngCode("DE");

    const std::pair<const char*, TWinComponent*> pairs[] = {
        {"DE", LngGermanRadio}, {"EN", LngEnglishRadio}, {"ES", LngESRadio}, {"FR", LngFRRadio},
        {"IT", LngITRadio},     {"HU", LngHURadio},      {"PL", LngPLRadio},
    };
    for (const auto& [radioCode, radio] : pairs) {
        if (current != radioCode) continue;
        if (SendMessageA(radio->Handle(), BM_GETCHECK, 0, 0) == BST_CHECKED) continue;
        // Selecting one radio button clears the others of the panel.
        for (const auto& other : pairs) SetRadio(other.second, other.second == radio);
    }

    const bool westernPage = AnsiCodePage == 1252;
    GermanLabel->SetText(westernPage ? "Bitte w\xE4hlen Sie Ihre bevorzugte Sprache."
                                     : "Bitte waehlen Sie Ihre bevorzugte Sprache.");
    EnglishLabel->SetText("Please select your language preference.");
    std::string third = "Por favor elija su idioma de preferencia.";
    if (SystemPrimaryLanguage == 0x10 || current == "IT") third = "Si prega di selezionare la lingua di preferenza.";
    if (SystemPrimaryLanguage == 0x0C || current == "FR")
        third = FromWindows1252("Veuillez s\xE9lectionner votre langue de pr\xE9\x66\xE9rence.");
    ESLabel->SetText(third);
    LngESRadio->SetText(westernPage ? "Espa\xF1ol" : "Espanol");
    LngFRRadio->SetText(westernPage ? "Fran\xE7" "ais" : "Francais");
}

void TBvSetupForm1::PreselectLanguage()
{
    SelectLanguage(PreselectedLanguage(SystemPrimaryLanguage));
}

void TBvSetupForm1::ShowInstallQuestion()
{
    VersionText->SetText(Unit1TextFmt(5, ProductVersionName(Engine.SetupVersion)));
    PgmPathEd->SetText(Engine.PgmPath);
    ShowPanel(AskPanel);
    SetTimer(Handle(), FirstCheckTimerId, FirstCheckInterval, nullptr);
}

void TBvSetupForm1::FirstCheckTimerTimer()
{
    KillTimer(Handle(), FirstCheckTimerId);
    if (Engine.UninstallMode || !InstalledVersionIsNewer()) return;
    if (ShowMessageDialog(Handle(), MessageKind::Confirmation, Unit1Text(12), MessageYes | MessageNo) !=
        MessageResult::Yes)
        Close();
}

void TBvSetupForm1::FormShow()
{
    // Enter and Esc act on the panel from the start.
    PostMessageA(Handle(), FocusControlMessage, 0, 0);
    if (FirstShowDone) return;
    FirstShowDone = true;
    SetTimer(Handle(), ForegroundTimerId, ForegroundInterval, nullptr);
}

void TBvSetupForm1::FormResize()
{
    RECT client;
    GetClientRect(Handle(), &client);
    if (BgImage) SetWindowPos(BgImage->Handle(), nullptr, 0, 0, client.right, client.bottom, SWP_NOZORDER | SWP_NOACTIVATE);
    CenterPanel();
}

void TBvSetupForm1::ForegroundTimerTimer()
{
    KillTimer(Handle(), ForegroundTimerId);
    BringToForeground();
}

void TBvSetupForm1::BringToForeground()
{
    const DWORD ownThread = GetCurrentThreadId();
    const DWORD foregroundThread = GetWindowThreadProcessId(GetForegroundWindow(), nullptr);
    AttachThreadInput(ownThread, foregroundThread, TRUE);
    SetForegroundWindow(Handle());
    AttachThreadInput(ownThread, foregroundThread, FALSE);
}

void TBvSetupForm1::RunBusy(const std::function<void()>& work)
{
    // The window ignores input while the long work runs, also when it fails.
    struct BusyScope {
        bool& flag;
        explicit BusyScope(bool& busy) : flag(busy) { flag = true; }
        ~BusyScope() { flag = false; }
    } scope(busy_);
    ProcessPendingMessages();
    work();
}

void TBvSetupForm1::StartBtnClick()
{
    std::string folder = PgmPathEd->GetText();
    if (!ValidateProgramFolder(folder)) {
        ShowMessageDialog(Handle(), MessageKind::Error, Unit1Text(4), MessageOk);
        if (folder.empty()) PgmPathEd->SetText(Engine.PgmPath);
        return;
    }
    if (!UserIsAdministrator()) {
        ShowPanel(nullptr);
        if (ShowMessageDialog(Handle(), MessageKind::Confirmation, GetLngText(1), MessageYes | MessageCancel) !=
            MessageResult::Yes) {
            Close();
            return;
        }
    }
    const std::string oldProgram = folder + "Morvane.exe";
    if (FileExists(oldProgram) && !DeleteFileA(oldProgram.c_str())) {
        ShowMessageDialog(Handle(), MessageKind::Error, Unit1Text(6), MessageOk);
        return;
    }
    ShowPanel(ProgressPanel);
    const bool createDesktopLinks = SendMessageA(CreateDesktopLinkCheck->Handle(), BM_GETCHECK, 0, 0) == BST_CHECKED;
    const LngCode language = MLSystem ? MLSystem->CurrentLng : LngCode("DE");
    bool success = false;
    RunBusy([&] { success = RunInstallation(folder, createDesktopLinks, language); });
    ShowPanel(nullptr);
    if (!success) {
        ShowMessageDialog(Handle(), MessageKind::Error, Unit1Text(7), MessageOk);
        Close();
        return;
    }
    if (!Engine.MainProgram.empty()) {
        WriteProgramSettings([] { return AskPersonsTerm(); });
        RemoveObsoleteFiles();
        ShowMessageDialog(Handle(), MessageKind::Information, Unit1Text(9), MessageOk);
    } else {
        ShowMessageDialog(Handle(), MessageKind::Information, Unit1Text(8), MessageOk);
    }
    ProcessPendingMessages();
    LaunchMainProgram();
    Close();
}

namespace {

// Without blanks and control characters at both ends.
std::string TrimControlChars(const std::string& text)
{
    std::size_t first = 0;
    std::size_t last = text.size();
    while (first < last && static_cast<unsigned char>(text[first]) <= 32) ++first;
    while (last > first && static_cast<unsigned char>(text[last - 1]) <= 32) --last;
    return text.substr(first, last - first);
}

} // namespace

std::string ChooserStartFolder(const std::string& edited)
{
    std::string folder = TrimControlChars(edited);
    if (!folder.empty() && (folder.back() == '\\' || folder.back() == '/')) folder.pop_back();
    auto programFiles = [] { return WithoutTrailingBackslashes(ProgramFilesFolder()); };
    if (folder.empty()) folder = programFiles();
    if (!IsFolder(folder)) {
        folder = ParentFolder(folder);
        if (!IsFolder(folder)) folder = programFiles();
    }
    return folder;
}

std::string ChosenProgramFolder(const std::string& fileName)
{
    std::string folder = FolderPartOf(fileName);
    if (AsciiLowerCase(folder).find("morvane") == std::string::npos) folder += "Morvane\\";
    return folder;
}

void TBvSetupForm1::ChooseBtnClick()
{
    const std::string title = Unit1Text(14);
    if (OpenDialogFileName.empty()) OpenDialogFileName = ChooserStartFolder(PgmPathEd->GetText()) + "\\" + title;
    std::string buffer = OpenDialogFileName;
    buffer.resize(4096, '\0');
    OPENFILENAMEA dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = Handle();
    // One filter that matches no real file, so that only folders show.
    dialog.lpstrFilter = "Directory\0*.nofiles\0";
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = buffer.data();
    dialog.nMaxFile = static_cast<DWORD>(buffer.size());
    dialog.lpstrTitle = title.c_str();
    dialog.Flags = OFN_EXPLORER | OFN_HIDEREADONLY | OFN_ENABLESIZING | OFN_DONTADDTORECENT | OFN_NOCHANGEDIR;
    if (!ShowOpenFileDialog(dialog)) return;
    OpenDialogFileName = buffer.c_str();
    PgmPathEd->SetText(ChosenProgramFolder(OpenDialogFileName));
}

void TBvSetupForm1::UninstStartBtnClick()
{
    // Read before anything is removed: a damaged list raises here and the
    // general error display shows it.
    const std::vector<std::string> list = ReadUninstallList();
    // Files must not go while their registration stays, nor a program that
    // stays lose its registration; the question stays for another try.
    const int refusal = !UninstallEntriesDeletable(list) ? 15 : !DeleteListedMainProgram(list) ? 6 : 0;
    if (refusal) {
        ShowMessageDialog(Handle(), MessageKind::Error, Unit1Text(refusal), MessageOk);
        return;
    }
    ProgressLabel->SetText(Unit1Text(11));
    ShowPanel(ProgressPanel);
    RunBusy([&list] {
        DeleteReminderShortcut(Unit1Text(10));
        RemoveInstallation(list);
        StartRemovalFinisher(list);
    });
    Close();
}

void TBvSetupForm1::RunHandler(void (TBvSetupForm1::*handler)())
{
    RunWithErrorDisplay(Handle(), [this, handler] { (this->*handler)(); });
}

void TBvSetupForm1::PressButton(TWinComponent* button)
{
    if (button && IsWindowEnabled(button->Handle())) SendMessageA(button->Handle(), BM_CLICK, 0, 0);
}

void TBvSetupForm1::Command(int id, int code, HWND control)
{
    if (busy_) return;
    if (id == IDOK || id == IDCANCEL) {
        if (!CurrentPanel) return;
        const TPanelKeys keys = panelKeys_[CurrentPanel];
        if (id == IDCANCEL) {
            PressButton(keys.CancelButton);
            return;
        }
        // Enter presses the focused push button, else the panel's default one.
        HWND focus = GetFocus();
        if (focus && GetParent(focus) == CurrentPanel->Handle() &&
            (SendMessageA(focus, WM_GETDLGCODE, 0, 0) & (DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON))) {
            SendMessageA(focus, BM_CLICK, 0, 0);
            return;
        }
        PressButton(keys.DefaultButton);
        return;
    }
    if (code != BN_CLICKED || !control) return;
    const auto found = controlIds_.find(id);
    if (found == controlIds_.end()) return;
    const TWinComponent* source = found->second;
    using Handler = void (TBvSetupForm1::*)();
    const std::pair<TWinComponent*, Handler> handlers[] = {
        {LngGermanRadio, &TBvSetupForm1::LngGermanRadioClick},
        {LngEnglishRadio, &TBvSetupForm1::LngEnglishRadioClick},
        {LngESRadio, &TBvSetupForm1::LngESRadioClick},
        {LngFRRadio, &TBvSetupForm1::LngFRRadioClick},
        {LngITRadio, &TBvSetupForm1::LngITRadioClick},
        {LngHURadio, &TBvSetupForm1::LngHURadioClick},
        {LngPLRadio, &TBvSetupForm1::LngPLRadioClick},
        {LngOkBtn, &TBvSetupForm1::LngOkBtnClick},
        {Button1, &TBvSetupForm1::NoBtnClick},
        {NoBtn, &TBvSetupForm1::NoBtnClick},
        {StartBtn, &TBvSetupForm1::StartBtnClick},
        {ChooseBtn, &TBvSetupForm1::ChooseBtnClick},
        {UninstStartBtn, &TBvSetupForm1::UninstStartBtnClick},
        {UninstNoBtn, &TBvSetupForm1::UninstNoBtnClick},
    };
    for (const auto& [component, handler] : handlers)
        if (component == source) RunHandler(handler);
}

void TBvSetupForm1::DrawLabel(const DRAWITEMSTRUCT& item)
{
    const auto found = controlIds_.find(static_cast<int>(item.CtlID));
    if (found == controlIds_.end()) return;
    const TWinComponent* label = found->second;
    RECT client;
    GetClientRect(Handle(), &client);
    POINT origin{0, 0};
    MapWindowPoints(item.hwndItem, Handle(), &origin, 1);
    // The part of the stretched picture that lies under the label.
    POINT oldOrigin;
    SetViewportOrgEx(item.hDC, -origin.x, -origin.y, &oldOrigin);
    if (background_.Empty())
        FillRect(item.hDC, &client, WindowBrush());
    else
        background_.Paint(item.hDC, client);
    SetViewportOrgEx(item.hDC, oldOrigin.x, oldOrigin.y, nullptr);
    const WideText text = WindowText(label->GetText());
    HGDIOBJ oldFont = SelectObject(item.hDC, label->FontHandleOf());
    SetBkMode(item.hDC, TRANSPARENT);
    SetTextColor(item.hDC, RGB(255, 255, 255));
    RECT place = item.rcItem;
    DrawTextW(item.hDC, text.c_str(), -1, &place, DT_LEFT | DT_TOP | DT_NOCLIP);
    SelectObject(item.hDC, oldFont);
}

LRESULT CALLBACK TBvSetupForm1::PictureProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_ERASEBKGND) return 1;
    if (message == WM_PAINT) {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(window, &paint);
        TBvSetupForm1* form = FormOf(GetParent(window));
        RECT client;
        GetClientRect(window, &client);
        if (form && !form->background_.Empty())
            form->background_.Paint(dc, client);
        else
            FillRect(dc, &client, WindowBrush());
        EndPaint(window, &paint);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

LRESULT CALLBACK TBvSetupForm1::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTA*>(lParam);
        SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    TBvSetupForm1* form = FormOf(window);
    if (!form) return DefWindowProcA(window, message, wParam, lParam);
    return form->HandleMessage(window, message, wParam, lParam);
}

LRESULT TBvSetupForm1::HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_SIZE:
        if (Form && Form->Handle()) FormResize();
        return 0;
    case WM_SHOWWINDOW:
        if (wParam) FormShow();
        break;
    case WM_WINDOWPOSCHANGED:
        // A window shown zoomed may get no WM_SHOWWINDOW.
        if (reinterpret_cast<const WINDOWPOS*>(lParam)->flags & SWP_SHOWWINDOW) FormShow();
        break;
    case WM_TIMER:
        if (wParam == FirstCheckTimerId) RunHandler(&TBvSetupForm1::FirstCheckTimerTimer);
        if (wParam == ForegroundTimerId) RunHandler(&TBvSetupForm1::ForegroundTimerTimer);
        return 0;
    case WM_COMMAND:
        Command(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam));
        return 0;
    case WM_DRAWITEM:
        DrawLabel(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
        return TRUE;
    case WM_CLOSE:
        if (busy_) return 0;
        break;
    case FocusControlMessage: {
        // After the activation has put the focus on the window itself.
        HWND focus = GetFocus();
        TWinComponent* button = CurrentPanel ? panelKeys_[CurrentPanel].DefaultButton : nullptr;
        if (button && (!focus || focus == window)) SetFocus(button->Handle());
        return 0;
    }
    case WM_DESTROY:
        FormDestroy();
        PostQuitMessage(0);
        return 0;
    case WM_NCDESTROY:
        destroyed_ = true;
        Form->DetachOwnedHandles();
        break;
    default:
        break;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}
