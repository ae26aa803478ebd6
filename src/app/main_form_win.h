#pragma once
// The program's main window TBvSetupForm1: a full-screen background picture
// with at most one of four centred panels (language choice, install question,
// progress, removal question). Installer and uninstaller share it.
#include <windows.h>

#include <functional>
#include <map>
#include <memory>
#include <string>

#include "app/jpeg_background_win.h"
#include "app/win_components_win.h"

// The window class of the main window; a second copy looks for it.
inline constexpr char MainWindowClassName[] = "TBvSetupForm1";

// The main window's texts (group "Unit1"), translated into the current language,
// "#13#" as a line break; Unit1TextFmt also puts param in place of "%1".
std::string Unit1Text(int id);
std::string Unit1TextFmt(int id, const std::string& param);

// (outer - inner) / 2, truncated toward zero: the offset that centres a panel.
int CenteredOffset(int outer, int inner);

// The version line's product part: text 1, with " (Version <version>)" when
// the version is known; at most 255 characters.
std::string ProductVersionName(const std::string& setupVersion);

// Where the folder dialog opens first: the edited folder (trimmed, without one
// final "\" or "/"), else its parent, else the program-files folder.
std::string ChooserStartFolder(const std::string& edited);
// The program folder for a name chosen in the folder dialog: its folder part,
// with "Morvane\" appended unless the product name is in it.
std::string ChosenProgramFolder(const std::string& fileName);

// The panel and the buttons Enter and Esc press on it.
struct TPanelKeys {
    TWinComponent* DefaultButton = nullptr;
    TWinComponent* CancelButton = nullptr;
};

class TBvSetupForm1 {
public:
    // Creates the window with every component, hidden, and runs FormCreate;
    // an error escaping FormCreate is shown by the general error display.
    TBvSetupForm1();
    ~TBvSetupForm1();
    TBvSetupForm1(const TBvSetupForm1&) = delete;
    TBvSetupForm1& operator=(const TBvSetupForm1&) = delete;

    HWND Handle() const { return Form->Handle(); }
    // Shows the window zoomed to fill the screen.
    void Show();
    // Closes the window; the program ends when its message loop sees it gone.
    void Close();

    void ShowPanel(TWinComponent* panel);
    void CenterPanel();
    void SelectLanguage(const std::string& code);
    void PreselectLanguage();
    void ShowInstallQuestion();
    void BringToForeground();

    // Event handlers.
    void FormCreate();
    void FormShow();
    void FormResize();
    void FormDestroy() {}
    void ForegroundTimerTimer();
    void FirstCheckTimerTimer();
    void LngGermanRadioClick() { SelectLanguage("DE"); }
    void LngEnglishRadioClick() { SelectLanguage("EN"); }
    void LngESRadioClick() { SelectLanguage("ES"); }
    void LngFRRadioClick() { SelectLanguage("FR"); }
    void LngITRadioClick() { SelectLanguage("IT"); }
    void LngHURadioClick() { SelectLanguage("HU"); }
    void LngPLRadioClick() { SelectLanguage("PL"); }
    void LngOkBtnClick() { ShowInstallQuestion(); }
    void NoBtnClick() { Close(); }
    void StartBtnClick();
    void ChooseBtnClick();
    void UninstStartBtnClick();
    void UninstNoBtnClick() { Close(); }

    TWinComponent* CurrentPanel = nullptr;
    bool FirstShowDone = false;

    // The components, named as their windows are.
    std::unique_ptr<TWinComponent> Form;
    TWinComponent* BgImage = nullptr;
    TWinComponent* SetupTaskLabel = nullptr;
    TWinComponent* Label6 = nullptr;
    TWinComponent* Label5 = nullptr;
    TWinComponent* AskPanel = nullptr;
    TWinComponent* VersionText = nullptr;
    TWinComponent* Label8 = nullptr;
    TWinComponent* ChooseBtn = nullptr;
    TWinComponent* PgmPathEd = nullptr;
    TWinComponent* CreateDesktopLinkCheck = nullptr;
    TWinComponent* Label4 = nullptr;
    TWinComponent* StartBtn = nullptr;
    TWinComponent* NoBtn = nullptr;
    TWinComponent* ProgressPanel = nullptr;
    TWinComponent* ProgressLabel = nullptr;
    TWinComponent* LngPanel = nullptr;
    TWinComponent* GermanLabel = nullptr;
    TWinComponent* EnglishLabel = nullptr;
    TWinComponent* ESLabel = nullptr;
    TWinComponent* LngGermanRadio = nullptr;
    TWinComponent* LngEnglishRadio = nullptr;
    TWinComponent* LngESRadio = nullptr;
    TWinComponent* LngFRRadio = nullptr;
    TWinComponent* LngITRadio = nullptr;
    TWinComponent* LngHURadio = nullptr;
    TWinComponent* LngPLRadio = nullptr;
    TWinComponent* LngOkBtn = nullptr;
    TWinComponent* Button1 = nullptr;
    TWinComponent* UninstAskPanel = nullptr;
    TWinComponent* UninstallText = nullptr;
    TWinComponent* UninstStartBtn = nullptr;
    TWinComponent* UninstNoBtn = nullptr;
    TWinComponent* FirstCheckTimer = nullptr;
    TWinComponent* ForegroundTimer = nullptr;
    TWinComponent* OpenDialog = nullptr;

    // The folder dialog's file name, kept from one use to the next.
    std::string OpenDialogFileName;

    // Whether the window has gone (closed by the user or the program).
    bool Destroyed() const { return destroyed_; }
    // Whether the window ignores input (while a long run is going).
    bool Busy() const { return busy_; }

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK PictureProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void CreateComponents();
    TWinComponent* AddControl(ComponentKind kind, const char* name, TWinComponent* parent, const char* windowClass,
                              const std::string& text, DWORD style, int left, int top, int width, int height);
    TWinComponent* AddPanel(const char* name, int width, int height);
    void Command(int id, int code, HWND control);
    void PressButton(TWinComponent* button);
    void DrawLabel(const DRAWITEMSTRUCT& item);
    void RunHandler(void (TBvSetupForm1::*handler)());
    void SetRadio(TWinComponent* radio, bool checked);
    // Runs long work with the window ignoring input, after the pending
    // messages were processed once so that the progress panel is painted.
    void RunBusy(const std::function<void()>& work);

    JpegBackground background_;
    std::map<int, TWinComponent*> controlIds_;
    std::map<TWinComponent*, TPanelKeys> panelKeys_;
    int nextId_ = 100;
    bool destroyed_ = false;
    bool busy_ = false;
};
