#include "app/message_dialogs_win.h"

#include <commctrl.h>

#include <algorithm>
#include <exception>
#include <string>
#include <utility>

#include "app/component_names_win.h"
#include "app/win_components_win.h"
#include "util/wide_text.h"

namespace {

struct ButtonKind {
    unsigned flag;
    int id;
    const wchar_t* caption;
    const char* name;
};

// Row order of the buttons.
constexpr ButtonKind ButtonKinds[] = {
    {MessageYes, IDYES, L"&Ja", MessageYesName},
    {MessageNo, IDNO, L"&Nein", MessageNoName},
    {MessageOk, IDOK, L"OK", MessageOkName},
    {MessageCancel, IDCANCEL, L"Abbrechen", MessageCancelName},
};

// Layout in pixels.
constexpr int Margin = 16;
constexpr int IconSize = 32;
constexpr int IconGap = 14;
constexpr int MaxTextWidth = 440;
constexpr int ButtonMinWidth = 80;
constexpr int ButtonPadding = 24;
constexpr int ButtonHeight = 26;
constexpr int ButtonGap = 8;

const wchar_t* CaptionOf(MessageKind kind)
{
    switch (kind) {
    case MessageKind::Error: return L"Fehler";
    case MessageKind::Information: return L"Informationen";
    case MessageKind::Confirmation: return L"Best\u00e4tigung";
    }
    return L"";
}

LPCSTR IconOf(MessageKind kind)
{
    switch (kind) {
    case MessageKind::Error: return IDI_HAND;
    case MessageKind::Information: return IDI_ASTERISK;
    case MessageKind::Confirmation: return IDI_QUESTION;
    }
    return IDI_HAND;
}

MessageResult ResultOf(int id)
{
    switch (id) {
    case IDOK: return MessageResult::Ok;
    case IDYES: return MessageResult::Yes;
    case IDNO: return MessageResult::No;
    case IDCANCEL: return MessageResult::Cancel;
    default: return MessageResult::None;
    }
}

// Owns a font made for the dialog.
class FontOwner {
public:
    explicit FontOwner(HFONT font) : font_(font) {}
    ~FontOwner() { if (font_) DeleteObject(font_); }
    FontOwner(const FontOwner&) = delete;
    FontOwner& operator=(const FontOwner&) = delete;
    HFONT get() const { return font_; }

private:
    HFONT font_;
};

HFONT CreateMessageFont()
{
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0))
        return CreateFontIndirectW(&metrics.lfMessageFont);
    return nullptr;
}

// 8-bit text in the ANSI code page to UTF-16, every line break as CR LF (the
// texts break their lines with a lone carriage return).
WideText DialogText(const std::string& text)
{
    WideText wide;
    if (!text.empty()) {
        int length = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
        wide.resize(static_cast<std::size_t>(length));
        MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), wide.data(), length);
    }
    WideText result;
    for (std::size_t i = 0; i < wide.size(); ++i) {
        wchar_t c = wide[i];
        if (c == L'\r' && (i + 1 >= wide.size() || wide[i + 1] != L'\n')) {
            result += L"\r\n";
        } else if (c == L'\n' && (i == 0 || wide[i - 1] != L'\r')) {
            result += L"\r\n";
        } else {
            result += c;
        }
    }
    return result;
}

struct DialogState {
    MessageKind kind;
    WideText text;
    unsigned buttons;
    HFONT font;
};

SIZE MeasureText(HDC dc, const WideText& text, UINT format, int width)
{
    RECT rect{0, 0, width, 0};
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &rect, format | DT_CALCRECT);
    return SIZE{rect.right - rect.left, rect.bottom - rect.top};
}

HWND CreateChild(HWND dialog, const wchar_t* className, const wchar_t* text, DWORD style, int id,
                 const RECT& place, HFONT font, const char* name)
{
    HWND child = CreateWindowExW(0, className, text, WS_CHILD | WS_VISIBLE | style, place.left, place.top,
                                 place.right - place.left, place.bottom - place.top, dialog,
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr),
                                 nullptr);
    if (child) {
        if (font) SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        SetComponentName(child, name);
    }
    return child;
}

int DefaultButtonId(unsigned buttons)
{
    if (buttons & MessageOk) return IDOK;
    if (buttons & MessageYes) return IDYES;
    if (buttons & MessageNo) return IDNO;
    return IDCANCEL;
}

// What Esc and the close box stand for; 0 when they do nothing.
int EscapeButtonId(unsigned buttons)
{
    if (buttons & MessageCancel) return IDCANCEL;
    if (buttons & MessageNo) return IDNO;
    if (buttons & MessageOk) return IDOK;
    return 0;
}

void LayOut(HWND dialog, const DialogState& state)
{
    SetComponentName(dialog, MessageDialogName);
    SetWindowTextW(dialog, CaptionOf(state.kind));

    HDC dc = GetDC(dialog);
    HGDIOBJ oldFont = state.font ? SelectObject(dc, state.font) : nullptr;
    SIZE textSize = MeasureText(dc, state.text, DT_WORDBREAK | DT_NOPREFIX | DT_EXPANDTABS, MaxTextWidth);
    int buttonWidth = ButtonMinWidth;
    int buttonCount = 0;
    for (const ButtonKind& buttonKind : ButtonKinds) {
        if (!(state.buttons & buttonKind.flag)) continue;
        SIZE captionSize = MeasureText(dc, buttonKind.caption, DT_SINGLELINE, 0);
        buttonWidth = std::max(buttonWidth, static_cast<int>(captionSize.cx) + ButtonPadding);
        ++buttonCount;
    }
    if (oldFont) SelectObject(dc, oldFont);
    ReleaseDC(dialog, dc);

    int textLeft = Margin + IconSize + IconGap;
    int textHeight = std::max(static_cast<int>(textSize.cy), IconSize);
    int rowWidth = buttonCount * buttonWidth + (buttonCount - 1) * ButtonGap;
    int clientWidth = std::max(textLeft + static_cast<int>(textSize.cx) + Margin, rowWidth + 2 * Margin);
    int buttonTop = Margin + textHeight + Margin;
    int clientHeight = buttonTop + ButtonHeight + Margin - 4;

    HICON icon = LoadIconA(nullptr, IconOf(state.kind));
    HWND iconWindow = CreateChild(dialog, L"STATIC", nullptr, SS_ICON, -1,
                                  RECT{Margin, Margin, Margin + IconSize, Margin + IconSize}, nullptr,
                                  MessageIconName);
    if (iconWindow) SendMessageW(iconWindow, STM_SETICON, reinterpret_cast<WPARAM>(icon), 0);
    int textTop = Margin + (textHeight - textSize.cy) / 2;
    CreateChild(dialog, L"STATIC", state.text.c_str(), SS_LEFT | SS_NOPREFIX, -1,
                RECT{textLeft, textTop, textLeft + textSize.cx, textTop + textSize.cy}, state.font,
                MessageTextName);

    int defaultId = DefaultButtonId(state.buttons);
    int left = (clientWidth - rowWidth) / 2;
    bool first = true;
    for (const ButtonKind& buttonKind : ButtonKinds) {
        if (!(state.buttons & buttonKind.flag)) continue;
        DWORD style = WS_TABSTOP | (buttonKind.id == defaultId ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON) | (first ? WS_GROUP : 0);
        HWND button = CreateChild(dialog, L"BUTTON", buttonKind.caption, style, buttonKind.id,
                                  RECT{left, buttonTop, left + buttonWidth, buttonTop + ButtonHeight}, state.font,
                                  buttonKind.name);
        if (buttonKind.id == defaultId && button) SetFocus(button);
        left += buttonWidth + ButtonGap;
        first = false;
    }
    SendMessageW(dialog, DM_SETDEFID, static_cast<WPARAM>(defaultId), 0);

    RECT frame{0, 0, clientWidth, clientHeight};
    AdjustWindowRectEx(&frame, static_cast<DWORD>(GetWindowLongPtrW(dialog, GWL_STYLE)), FALSE,
                       static_cast<DWORD>(GetWindowLongPtrW(dialog, GWL_EXSTYLE)));
    int width = frame.right - frame.left;
    int height = frame.bottom - frame.top;
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    GetMonitorInfoW(MonitorFromWindow(GetParent(dialog) ? GetParent(dialog) : dialog, MONITOR_DEFAULTTOPRIMARY),
                    &monitor);
    const RECT& area = monitor.rcWork;
    SetWindowPos(dialog, nullptr, area.left + (area.right - area.left - width) / 2,
                 area.top + (area.bottom - area.top - height) / 2, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

INT_PTR CALLBACK MessageDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG: {
        auto* state = reinterpret_cast<DialogState*>(lParam);
        SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        LayOut(dialog, *state);
        return FALSE;  // the focus is set on the default button
    }
    case WM_COMMAND: {
        auto* state = reinterpret_cast<DialogState*>(GetWindowLongPtrW(dialog, DWLP_USER));
        int id = LOWORD(wParam);
        // Esc, the close box and Alt+F4 all arrive as IDCANCEL.
        if (id == IDCANCEL) id = EscapeButtonId(state->buttons);
        for (const ButtonKind& buttonKind : ButtonKinds) {
            if (buttonKind.id == id && (state->buttons & buttonKind.flag)) {
                EndDialog(dialog, id);
                return TRUE;
            }
        }
        return TRUE;
    }
    default:
        return FALSE;
    }
}

// An empty dialog frame; the controls are added when it is created.
struct alignas(4) EmptyDialogTemplate {
    DLGTEMPLATE header;
    WORD menu;
    WORD windowClass;
    WORD title;
};

void EnsureCommonControls()
{
    static const bool done = InitCommonControlsFromSystem(ICC_STANDARD_CLASSES);
    (void)done;
}

}  // namespace

MessageResult ShowMessageDialog(HWND owner, MessageKind kind, const std::string& text, unsigned buttons)
{
    EnsureCommonControls();
    buttons &= MessageOk | MessageYes | MessageNo | MessageCancel;
    if (buttons == 0) buttons = MessageOk;
    FontOwner font(CreateMessageFont());
    DialogState state{kind, DialogText(text), buttons, font.get()};

    EmptyDialogTemplate frame{};
    frame.header.style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFOREGROUND;
    INT_PTR result = DialogBoxIndirectParamW(GetModuleHandleW(nullptr), &frame.header, owner, MessageDialogProc,
                                             reinterpret_cast<LPARAM>(&state));
    return ResultOf(static_cast<int>(result));
}

std::string GeneralErrorText(const std::string& text)
{
    if (!text.empty() && static_cast<unsigned char>(text.back()) > static_cast<unsigned char>('.'))
        return text + ".";
    return text;
}

void ShowGeneralError(HWND owner, const std::string& text)
{
    MessageBoxA(owner, GeneralErrorText(text).c_str(), "Setup", MB_OK | MB_ICONSTOP);
}

bool RunWithErrorDisplay(HWND owner, const std::function<void()>& handler)
{
    try {
        handler();
        return true;
    } catch (const std::exception& error) {
        ShowGeneralError(owner, error.what());
        return false;
    }
}
