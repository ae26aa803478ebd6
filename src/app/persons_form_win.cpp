#include "app/persons_form_win.h"

#include "app/message_dialogs_win.h"
#include "lang/translation.h"
#include "lang/window_translation.h"

std::vector<std::string> PersonsTerms;

namespace {

const char PersonsClassName[] = "TPersonsForm";
constexpr int ClientWidth = 349;
constexpr int ClientHeight = 234;
constexpr int OkBtnId = IDOK;
constexpr int ListBoxId = 101;
constexpr int HolderTextId = 102;

std::unique_ptr<TPersonsForm> PersonsForm;

// Lines of a text broken by CR, LF or CR LF.
std::vector<std::string> SplitAtLineBreaks(const std::string& text)
{
    std::vector<std::string> lines;
    std::string line;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c != '\r' && c != '\n') {
            line += c;
            continue;
        }
        if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
        lines.push_back(line);
        line.clear();
    }
    if (!line.empty()) lines.push_back(line);
    return lines;
}

void RegisterPersonsClass(WNDPROC proc)
{
    static bool registered = false;
    if (registered) return;
    registered = true;
    WNDCLASSEXA windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = proc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
    windowClass.lpszClassName = PersonsClassName;
    RegisterClassExA(&windowClass);
}

HWND CreateChild(HWND parent, const char* className, const std::string& text, DWORD style, int id, int left, int top,
                 int width, int height)
{
    return CreateWindowExA(className == std::string("LISTBOX") ? WS_EX_CLIENTEDGE : 0, className, text.c_str(),
                           WS_CHILD | WS_VISIBLE | style, left, top, width, height, parent,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleA(nullptr), nullptr);
}

} // namespace

void CreatePersonsTerms()
{
    PersonsTerms = SplitAtLineBreaks("Mitarbeiter\rMieter\rBesitzer\rKunden\rPersonen");
}

std::string PersonsUnitText(int id)
{
    static const std::unique_ptr<TMLStringList> table = [] {
        std::unique_ptr<TMLStringList> texts = NewTextTable();
        texts->Add255Obj("PersonsUnit", 0);
        return texts;
    }();
    return table->GetText(id);
}

TPersonsForm::TPersonsForm(HWND owner) : owner_(owner)
{
    RegisterPersonsClass(WindowProc);
    Form = std::make_unique<TWinComponent>(ComponentKind::Form, "PersonsForm", nullptr, nullptr);
    const DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_DLGFRAME;
    const DWORD exStyle = WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT;
    RECT frame{0, 0, ClientWidth, ClientHeight};
    AdjustWindowRectEx(&frame, style, FALSE, exStyle);
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    // Centred over the owner, else over the screen.
    RECT area{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    if (owner_ && IsWindowVisible(owner_)) GetWindowRect(owner_, &area);
    const int left = area.left + (area.right - area.left - width) / 2;
    const int top = area.top + (area.bottom - area.top - height) / 2;
    HWND window = CreateWindowExA(exStyle, PersonsClassName, FromWindows1252("Schl\xFCsselbesitzer").c_str(), style,
                                  left, top, width, height, owner_, nullptr, GetModuleHandleA(nullptr), this);
    Form->AttachHandle(window);
    Form->SetFont(TFontSpec{});
    WinApplication().AddForm(Form.get());

    auto add = [&](ComponentKind kind, const char* name, const char* className, const std::string& text, DWORD childStyle,
                   int id, int x, int y, int w, int h) {
        TWinComponent& component = Form->Add(kind, name, Form.get());
        component.AttachHandle(CreateChild(window, className, text, childStyle, id, x, y, w, h));
        return &component;
    };
    // Keyboard order: the list, then OK.
    ListBox = add(ComponentKind::ListBox, "ListBox", "LISTBOX", "",
                  WS_TABSTOP | WS_VSCROLL | LBS_NOTIFY | LBS_WANTKEYBOARDINPUT | LBS_NOINTEGRALHEIGHT, ListBoxId, 112,
                  68, 120, 97);
    OkBtn = add(ComponentKind::Button, "OkBtn", "BUTTON", "OK", WS_TABSTOP | BS_DEFPUSHBUTTON, OkBtnId, 112, 180, 120,
                33);
    SendMessageA(OkBtn->Handle(), BM_SETIMAGE, IMAGE_ICON, reinterpret_cast<LPARAM>(CheckGlyph()));
    HolderText = add(ComponentKind::OtherControl, "HolderText", "STATIC", "", SS_LEFT | SS_NOPREFIX, HolderTextId, 20,
                     16, 313, 48);
    RunWithErrorDisplay(window, [this] { FormCreate(); });
}

TPersonsForm::~TPersonsForm()
{
    if (!destroyed_ && Handle()) DestroyWindow(Handle());
    WinApplication().RemoveForm(Form.get());
}

void TPersonsForm::FormCreate()
{
    TranslateForm(*Form);
    HolderText->SetText(GetLngText(2));
    SendMessageA(ListBox->Handle(), LB_SETITEMHEIGHT, 0, 16);
    for (const std::string& term : PersonsTerms)
        SendMessageA(ListBox->Handle(), LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(TranslateText(term).c_str()));
    SendMessageA(ListBox->Handle(), LB_SETCURSEL, 0, 0);
}

int TPersonsForm::ItemIndex() const
{
    if (!ListBox->Handle()) return -1;
    return static_cast<int>(SendMessageA(ListBox->Handle(), LB_GETCURSEL, 0, 0));
}

TModalResult TPersonsForm::ShowModal()
{
    result_ = TModalResult::None;
    const bool ownerEnabled = owner_ && IsWindowEnabled(owner_);
    if (ownerEnabled) EnableWindow(owner_, FALSE);
    ShowWindow(Handle(), SW_SHOW);
    SetForegroundWindow(Handle());
    SetFocus(ListBox->Handle());
    MSG message;
    bool quit = false;
    while (result_ == TModalResult::None && !destroyed_) {
        if (GetMessageA(&message, nullptr, 0, 0) <= 0) {
            quit = true;
            break;
        }
        if (IsDialogMessageA(Handle(), &message)) continue;
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    if (ownerEnabled) EnableWindow(owner_, TRUE);
    if (!destroyed_) ShowWindow(Handle(), SW_HIDE);
    if (owner_) SetActiveWindow(owner_);
    // A quit request belongs to the outer loop.
    if (quit) PostQuitMessage(static_cast<int>(message.wParam));
    return result_ == TModalResult::None ? TModalResult::Cancel : result_;
}

LRESULT CALLBACK TPersonsForm::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTA*>(lParam);
        SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* form = reinterpret_cast<TPersonsForm*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (!form) return DefWindowProcA(window, message, wParam, lParam);
    return form->HandleMessage(window, message, wParam, lParam);
}

LRESULT TPersonsForm::HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_COMMAND:
        // OK and Enter close with OK; the dialog has no cancel button, so Esc does nothing.
        if (LOWORD(wParam) == OkBtnId && HIWORD(wParam) == BN_CLICKED) result_ = TModalResult::Ok;
        return 0;
    case WM_CHARTOITEM:
        // Typing does not jump to items.
        return -2;
    case WM_CLOSE:
        result_ = TModalResult::Cancel;
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

std::string AskPersonsTerm()
{
    std::string result;
    TWinComponent* mainForm = WinApplication().MainWinForm();
    if (!PersonsForm || !PersonsForm->Handle())
        PersonsForm = std::make_unique<TPersonsForm>(mainForm ? mainForm->Handle() : nullptr);
    if (PersonsForm->ShowModal() != TModalResult::Ok) return result;
    const int index = PersonsForm->ItemIndex();
    if (index >= 0 && index < static_cast<int>(PersonsTerms.size())) result = PersonsTerms[static_cast<std::size_t>(index)];
    return result;
}

void ReleasePersonsForm()
{
    PersonsForm.reset();
}
