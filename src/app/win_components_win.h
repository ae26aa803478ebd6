#pragma once
// The component model over real Win32 windows, so that window translation and
// the language's font character set reach the program's windows.
//
// A form owns every component on it (also those inside its panels) in the
// order they were added; each component knows its parent control. Fonts: a
// component either has a font of its own or takes the font of its parent;
// changing a font passes on to the children that take it.
#include <windows.h>
#include <commctrl.h>
#include <commdlg.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "lang/components.h"
#include "util/wide_text.h"

struct TFontSpec {
    std::string Face = "Verdana";
    int Height = 13;  // character height in pixels
    bool Bold = false;
    bool Italic = false;
    std::uint8_t Charset = ANSI_CHARSET;
};

// Owns a GDI font.
class FontHandle {
public:
    FontHandle() = default;
    explicit FontHandle(HFONT font) : font_(font) {}
    ~FontHandle() { Reset(); }
    FontHandle(const FontHandle&) = delete;
    FontHandle& operator=(const FontHandle&) = delete;
    void Reset(HFONT font = nullptr)
    {
        if (font_) DeleteObject(font_);
        font_ = font;
    }
    HFONT get() const { return font_; }

private:
    HFONT font_ = nullptr;
};

HFONT CreateFontFromSpec(const TFontSpec& fontSpec);

// A window's device context with a font selected, both given back at the end.
class WindowDC {
public:
    WindowDC(HWND window, HFONT font) : window_(window), dc_(GetDC(window))
    {
        if (dc_ && font) oldFont_ = SelectObject(dc_, font);
    }
    ~WindowDC()
    {
        if (!dc_) return;
        if (oldFont_) SelectObject(dc_, oldFont_);
        ReleaseDC(window_, dc_);
    }
    WindowDC(const WindowDC&) = delete;
    WindowDC& operator=(const WindowDC&) = delete;
    HDC get() const { return dc_; }

private:
    HWND window_;
    HDC dc_;
    HGDIOBJ oldFont_ = nullptr;
};

// 8-bit window text (system ANSI code page) as the windows hold and draw it:
// in UTF-16, whatever character set the font names.
WideText WindowText(const std::string& text);

class TWinComponent : public TComponent {
public:
    // A form: kind Form, no owner and no parent.
    TWinComponent(ComponentKind kind, std::string name, TWinComponent* owner, TWinComponent* parent);
    ~TWinComponent() override;
    TWinComponent(const TWinComponent&) = delete;
    TWinComponent& operator=(const TWinComponent&) = delete;

    // Forms: a new component owned by this form, sitting in parent (none for
    // non-visual ones). It takes its parent's font until it gets its own.
    TWinComponent& Add(ComponentKind kind, const std::string& name, TWinComponent* parent);

    const std::string& Name() const { return name_; }
    HWND Handle() const { return handle_; }
    // Gives the component its window: the window gets the component's name and font.
    void AttachHandle(HWND handle);
    // The window is gone (destroyed with its parent); the component stays.
    void DetachHandle() { handle_ = nullptr; }
    // The form's window is gone (WM_NCDESTROY): forget its handle and those of
    // every component it owns, so that nothing touches a destroyed window.
    void DetachOwnedHandles()
    {
        for (int i = 0; i < ComponentCount(); ++i) static_cast<TWinComponent*>(Components(i))->DetachHandle();
        DetachHandle();
    }

    // Labels that fit their size to their text whenever it or the font changes.
    void SetAutoSize(bool autoSize);
    void SetFont(const TFontSpec& fontSpec);
    const TFontSpec& Font() const { return font_; }
    HFONT FontHandleOf() const { return fontHandle_.get(); }
    TWinComponent* Owner() const { return owner_; }
    // The owned component with this name; null when none.
    TWinComponent* Find(const std::string& name) const;

    ComponentKind Kind() const override { return kind_; }
    std::string GetText() const override;
    void SetText(const std::string& text) override;
    std::string GetHint() const override { return hint_; }
    void SetHint(const std::string& hint) override { hint_ = hint; }
    int GetWidth() const override;
    void SetWidth(int width) override;
    std::uint8_t GetCharset() const override { return font_.Charset; }
    void SetCharset(std::uint8_t charset) override;
    bool ParentFont() const override { return parentFont_; }
    TComponent* Parent() const override { return parent_; }
    int ComponentCount() const override { return static_cast<int>(owned_.size()); }
    TComponent* Components(int index) const override;
    int TextWidth(const std::string& text, const TComponent& control) const override;

private:
    void ApplyFont();
    void FitToText();

    ComponentKind kind_;
    std::string name_;
    TWinComponent* owner_;
    TWinComponent* parent_;
    HWND handle_ = nullptr;
    std::string hint_;
    std::string text_;  // kept for components without a window
    TFontSpec font_;
    FontHandle fontHandle_;
    bool parentFont_ = true;
    bool autoSize_ = false;
    std::vector<std::unique_ptr<TWinComponent>> owned_;
};

// The application's forms, as the language switch visits them.
class TWinApplication : public TApplicationModel {
public:
    int FormCount() const override { return static_cast<int>(forms_.size()); }
    TComponent* Forms(int index) const override { return forms_.at(static_cast<std::size_t>(index)); }
    TComponent* MainForm() const override { return mainForm_; }

    void AddForm(TWinComponent* form);
    void RemoveForm(TWinComponent* form);
    // The first form added becomes the main form.
    TWinComponent* MainWinForm() const { return mainForm_; }
    // The application title (the general error display's title).
    std::string Title = "Setup";

private:
    std::vector<TWinComponent*> forms_;
    TWinComponent* mainForm_ = nullptr;
};

// The one application object; registered with the text system on every use.
TWinApplication& WinApplication();

// Text written in Windows-1252 (the German defaults), in the system's ANSI code page.
std::string FromWindows1252(const std::string& win1252Text);

// A small green check mark for the buttons with a glyph (shared, never freed).
HICON CheckGlyph();

// comctl32 and comdlg32 are no known system libraries: imported statically they
// would be looked for beside the program before the program can restrict the
// search. They are loaded from the system folder when first needed instead
// (SystemLibrary keeps what it loaded until the process ends).
HMODULE SystemLibrary(const char* name);
template <typename Function>
Function SystemFunction(const char* libraryName, const char* functionName)
{
    HMODULE library = SystemLibrary(libraryName);
    if (!library) return nullptr;
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(library, functionName)));
}
// InitCommonControlsEx with the given classes; false when unavailable.
bool InitCommonControlsFromSystem(DWORD classes);
// GetOpenFileNameA; false when cancelled or unavailable.
bool ShowOpenFileDialog(OPENFILENAMEA& dialog);

// Runs the message loop until WM_QUIT; keyboard navigation (Tab, Enter, Esc)
// goes to the top-level window of each message.
int RunMessageLoop();
// Processes the pending messages once, without waiting.
void ProcessPendingMessages();
