#include "app/win_components_win.h"

#include <algorithm>

#include "app/component_names_win.h"
#include "lang/code_pages.h"
#include "lang/ml_startup.h"
#include "util/wide_text.h"

WideText WindowText(const std::string& text)
{
    if (text.empty()) return WideText();
    const int size = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    WideText wide(static_cast<std::size_t>(size > 0 ? size : 0), L'\0');
    if (size > 0) MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), wide.data(), size);
    return wide;
}

HFONT CreateFontFromSpec(const TFontSpec& fontSpec)
{
    LOGFONTA font{};
    font.lfHeight = -fontSpec.Height;
    font.lfWeight = fontSpec.Bold ? FW_BOLD : FW_NORMAL;
    font.lfItalic = fontSpec.Italic ? TRUE : FALSE;
    font.lfCharSet = fontSpec.Charset;
    font.lfOutPrecision = OUT_DEFAULT_PRECIS;
    font.lfClipPrecision = CLIP_DEFAULT_PRECIS;
    font.lfQuality = DEFAULT_QUALITY;
    font.lfPitchAndFamily = DEFAULT_PITCH;
    lstrcpynA(font.lfFaceName, fontSpec.Face.c_str(), LF_FACESIZE);
    return CreateFontIndirectA(&font);
}

TWinComponent::TWinComponent(ComponentKind kind, std::string name, TWinComponent* owner, TWinComponent* parent)
    : kind_(kind), name_(std::move(name)), owner_(owner), parent_(parent)
{
    if (parent_) font_ = parent_->font_;
    if (kind_ == ComponentKind::Form) parentFont_ = false;
}

TWinComponent::~TWinComponent()
{
    // Windows go before their fonts.
    owned_.clear();
    if (handle_ && IsWindow(handle_)) {
        SendMessageA(handle_, WM_SETFONT, 0, FALSE);
    }
}

TWinComponent& TWinComponent::Add(ComponentKind kind, const std::string& name, TWinComponent* parent)
{
    owned_.push_back(std::make_unique<TWinComponent>(kind, name, this, parent));
    return *owned_.back();
}

TWinComponent* TWinComponent::Find(const std::string& name) const
{
    for (const auto& component : owned_)
        if (component->name_ == name) return component.get();
    return nullptr;
}

void TWinComponent::AttachHandle(HWND handle)
{
    handle_ = handle;
    if (!handle_) return;
    SetComponentName(handle_, name_);
    ApplyFont();
}

void TWinComponent::SetAutoSize(bool autoSize)
{
    autoSize_ = autoSize;
    FitToText();
}

void TWinComponent::SetFont(const TFontSpec& fontSpec)
{
    font_ = fontSpec;
    parentFont_ = false;
    ApplyFont();
}

void TWinComponent::ApplyFont()
{
    if (IsVisualControl()) {
        fontHandle_.Reset(CreateFontFromSpec(font_));
        if (handle_) SendMessageA(handle_, WM_SETFONT, reinterpret_cast<WPARAM>(fontHandle_.get()), TRUE);
    }
    FitToText();
    // Children that take their parent's font follow it.
    const TWinComponent* form = owner_ ? owner_ : this;
    for (const auto& child : form->owned_) {
        if (child->parent_ == this && child->parentFont_) {
            child->font_ = font_;
            child->ApplyFont();
        }
    }
}

void TWinComponent::FitToText()
{
    if (!autoSize_ || !handle_) return;
    const WideText text = WindowText(GetText());
    RECT rect{0, 0, 0, 0};
    {
        WindowDC dc(handle_, fontHandle_.get());
        DrawTextW(dc.get(), text.empty() ? L" " : text.c_str(), -1, &rect, DT_CALCRECT | DT_NOCLIP);
    }
    SetWindowPos(handle_, nullptr, 0, 0, rect.right - rect.left, rect.bottom - rect.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    InvalidateRect(handle_, nullptr, TRUE);
}

std::string TWinComponent::GetText() const
{
    if (!handle_) return text_;
    const int length = GetWindowTextLengthA(handle_);
    std::string text(static_cast<std::size_t>(length) + 1, '\0');
    text.resize(static_cast<std::size_t>(GetWindowTextA(handle_, text.data(), length + 1)));
    return text;
}

void TWinComponent::SetText(const std::string& text)
{
    text_ = text;
    if (!handle_) return;
    SetWindowTextA(handle_, text.c_str());
    FitToText();
    // Owner-drawn labels over a picture need their whole place repainted.
    InvalidateRect(handle_, nullptr, TRUE);
}

int TWinComponent::GetWidth() const
{
    if (!handle_) return 0;
    RECT rect;
    GetWindowRect(handle_, &rect);
    return rect.right - rect.left;
}

void TWinComponent::SetWidth(int width)
{
    if (!handle_) return;
    RECT rect;
    GetWindowRect(handle_, &rect);
    SetWindowPos(handle_, nullptr, 0, 0, width, rect.bottom - rect.top, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void TWinComponent::SetCharset(std::uint8_t charset)
{
    font_.Charset = charset;
    ApplyFont();
}

TComponent* TWinComponent::Components(int index) const
{
    return owned_.at(static_cast<std::size_t>(index)).get();
}

int TWinComponent::TextWidth(const std::string& text, const TComponent& control) const
{
    const auto* winControl = dynamic_cast<const TWinComponent*>(&control);
    HFONT font = winControl ? winControl->fontHandle_.get() : fontHandle_.get();
    WindowDC dc(handle_, font);
    SIZE size{0, 0};
    const WideText wide = WindowText(text);
    GetTextExtentPoint32W(dc.get(), wide.data(), static_cast<int>(wide.size()), &size);
    return size.cx;
}

void TWinApplication::AddForm(TWinComponent* form)
{
    forms_.push_back(form);
    if (!mainForm_) mainForm_ = form;
}

void TWinApplication::RemoveForm(TWinComponent* form)
{
    forms_.erase(std::remove(forms_.begin(), forms_.end(), form), forms_.end());
    if (mainForm_ == form) mainForm_ = nullptr;
}

TWinApplication& WinApplication()
{
    static TWinApplication application;
    if (GetApplication() != &application) SetApplication(&application);
    return application;
}

std::string FromWindows1252(const std::string& win1252Text)
{
    if (AnsiCodePage == CodePageWindows1252) return win1252Text;
    return WideToAnsi(AnsiToWide(win1252Text, CodePageWindows1252), AnsiCodePage);
}

HICON CheckGlyph()
{
    static HICON icon = [] {
        constexpr int Size = 16;
        BITMAPV5HEADER header{};
        header.bV5Size = sizeof header;
        header.bV5Width = Size;
        header.bV5Height = -Size;
        header.bV5Planes = 1;
        header.bV5BitCount = 32;
        header.bV5Compression = BI_BITFIELDS;
        header.bV5RedMask = 0x00FF0000;
        header.bV5GreenMask = 0x0000FF00;
        header.bV5BlueMask = 0x000000FF;
        header.bV5AlphaMask = 0xFF000000;
        void* bits = nullptr;
        HBITMAP colour = CreateDIBSection(WindowDC(nullptr, nullptr).get(), reinterpret_cast<BITMAPINFO*>(&header),
                                          DIB_RGB_COLORS, &bits, nullptr, 0);
        if (!colour || !bits) return static_cast<HICON>(nullptr);
        auto* pixels = static_cast<std::uint32_t*>(bits);
        std::fill(pixels, pixels + Size * Size, 0u);
        // A thick tick: down from (2,8) to (6,12), then up to (13,3).
        auto plot = [&](int x, int y) {
            for (int dy = 0; dy < 3; ++dy)
                if (x >= 0 && x < Size && y + dy >= 0 && y + dy < Size) pixels[(y + dy) * Size + x] = 0xFF108010u;
        };
        for (int x = 2; x <= 6; ++x) plot(x, 6 + (x - 2));
        for (int x = 6; x <= 13; ++x) plot(x, 10 - (x - 6) * 9 / 7);
        HBITMAP mask = CreateBitmap(Size, Size, 1, 1, nullptr);
        ICONINFO info{};
        info.fIcon = TRUE;
        info.hbmColor = colour;
        info.hbmMask = mask;
        HICON result = CreateIconIndirect(&info);
        DeleteObject(colour);
        DeleteObject(mask);
        return result;
    }();
    return icon;
}

HMODULE SystemLibrary(const char* name)
{
    HMODULE library = LoadLibraryExA(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    // Systems without the restricted search refuse the flag; start-up has then
    // no restriction to rely on, so the system folder is named in full.
    if (!library && GetLastError() == ERROR_INVALID_PARAMETER) {
        char folder[MAX_PATH] = {};
        const UINT length = GetSystemDirectoryA(folder, MAX_PATH);
        if (length > 0 && length < MAX_PATH) library = LoadLibraryA((std::string(folder) + "\\" + name).c_str());
    }
    return library;
}

namespace {

bool HandleDialogKeys(MSG& message)
{
    if (message.message < WM_KEYFIRST || message.message > WM_KEYLAST) return false;
    HWND root = GetAncestor(message.hwnd, GA_ROOT);
    return root && IsDialogMessageA(root, &message);
}

} // namespace

bool InitCommonControlsFromSystem(DWORD classes)
{
    using TInit = BOOL(WINAPI*)(const INITCOMMONCONTROLSEX*);
    static const TInit init = SystemFunction<TInit>("comctl32.dll", "InitCommonControlsEx");
    if (!init) return false;
    INITCOMMONCONTROLSEX controls{sizeof controls, classes};
    return init(&controls) != FALSE;
}

bool ShowOpenFileDialog(OPENFILENAMEA& dialog)
{
    using TOpen = BOOL(WINAPI*)(OPENFILENAMEA*);
    static const TOpen open = SystemFunction<TOpen>("comdlg32.dll", "GetOpenFileNameA");
    return open && open(&dialog) != FALSE;
}

int RunMessageLoop()
{
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        if (HandleDialogKeys(message)) continue;
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return 0;
}

void ProcessPendingMessages()
{
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(message.wParam));
            return;
        }
        if (HandleDialogKeys(message)) continue;
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}
