#pragma once
// The small window model that translation and font character sets work on.
// The application's Win32 windows implement it; tests use an in-memory one.
//
// - Every component has at most one owner, which lists it among its owned
//   components (ComponentCount/Components), and, when it is a visual control,
//   a parent: the control it sits in (none for a form). A form normally owns
//   every component on it, also those whose parent is a panel of the form;
//   a panel may own components of its own, and translation then visits them
//   through the panel.
// - Text is the caption of a form, label, button, check box, radio button,
//   panel or menu item and the text of an edit field or list box.
// - Forms measure text: TextWidth gives the width in pixels of a text drawn on
//   the form's surface in the font of the given control.
// - The application owns the top-level forms and names its main form.
#include <cstdint>
#include <string>

enum class ComponentKind {
    Form,
    Panel,
    Label,
    Button,
    CheckBox,
    RadioButton,
    ListBox,
    Edit,
    MenuItem,
    OtherControl,  // any other visual control (a group frame, ...)
    NonVisual,     // a timer, a dialog component, ...: never translated
};

class TComponent {
public:
    virtual ~TComponent() = default;

    virtual ComponentKind Kind() const = 0;
    virtual std::string GetText() const = 0;
    virtual void SetText(const std::string& text) = 0;
    virtual std::string GetHint() const = 0;
    virtual void SetHint(const std::string& hint) = 0;
    virtual int GetWidth() const = 0;
    virtual void SetWidth(int width) = 0;
    // The character set of the component's own font.
    virtual std::uint8_t GetCharset() const = 0;
    virtual void SetCharset(std::uint8_t charset) = 0;
    // True when the control takes its font from its parent.
    virtual bool ParentFont() const = 0;
    virtual TComponent* Parent() const = 0;
    virtual int ComponentCount() const = 0;
    virtual TComponent* Components(int index) const = 0;
    // Forms only: pixel width of text in the font of control.
    virtual int TextWidth(const std::string& text, const TComponent& control) const = 0;

    bool IsVisualControl() const
    {
        return Kind() != ComponentKind::MenuItem && Kind() != ComponentKind::NonVisual;
    }
};

class TApplicationModel {
public:
    virtual ~TApplicationModel() = default;
    // The forms created with the application as their owner.
    virtual int FormCount() const = 0;
    virtual TComponent* Forms(int index) const = 0;
    // May be none.
    virtual TComponent* MainForm() const = 0;
};

// The application whose forms a language switch visits (not owned; none at first).
void SetApplication(TApplicationModel* application);
TApplicationModel* GetApplication();
