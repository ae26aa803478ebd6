#include "lang/window_translation.h"

#include "lang/ml_startup.h"

std::uint8_t FormCharset = 0;

namespace {

TApplicationModel* TheApplication = nullptr;

constexpr std::size_t kMaxControlText = 4094;
constexpr int kCheckMarkWidth = 22;

// The form the component sits on, else the main form: the surface to measure on.
const TComponent* MeasuringForm(const TComponent& component)
{
    for (const TComponent* c = &component; c != nullptr; c = c->Parent()) {
        if (c->Kind() == ComponentKind::Form) return c;
    }
    return TheApplication != nullptr ? TheApplication->MainForm() : nullptr;
}

void TranslateControl(TComponent& control, const tMLSystem& system, const LngCode& fromLng, const LngCode& toLng)
{
    // A text longer than a window text buffer holds is no wording of the language
    // file; writing back its translation would cut it off, so it stays as it is.
    const std::string text = control.GetText();
    if (!text.empty() && text.size() <= kMaxControlText) control.SetText(system.Translate(text, fromLng, toLng));
    const std::string hint = control.GetHint();
    if (!hint.empty()) control.SetHint(system.TranslateHint(hint, fromLng, toLng));
}

void TranslateOwned(TComponent& component, const tMLSystem& system, const LngCode& fromLng, const LngCode& toLng,
                    const TComponent* canvas)
{
    for (int i = 0; i < component.ComponentCount(); ++i) {
        TComponent* owned = component.Components(i);
        if (owned == nullptr) continue;
        switch (owned->Kind()) {
        case ComponentKind::MenuItem: {
            owned->SetText(system.Translate(owned->GetText(), fromLng, toLng));
            const std::string hint = owned->GetHint();
            if (!hint.empty()) owned->SetHint(system.TranslateHint(hint, fromLng, toLng));
            break;
        }
        case ComponentKind::CheckBox:
        case ComponentKind::RadioButton:
            TranslateControl(*owned, system, fromLng, toLng);
            // Without a form to measure on, the width stays as it is.
            if (canvas != nullptr) {
                const int needed = canvas->TextWidth(owned->GetText(), *owned) + kCheckMarkWidth;
                if (owned->GetWidth() < needed) owned->SetWidth(needed);
            }
            break;
        default:
            if (owned->Kind() == ComponentKind::Panel) TranslateComponent(*owned, fromLng, toLng);
            if (owned->IsVisualControl()) TranslateControl(*owned, system, fromLng, toLng);
            break;
        }
    }
}

bool TakesCharset(ComponentKind kind)
{
    switch (kind) {
    case ComponentKind::Label:
    case ComponentKind::CheckBox:
    case ComponentKind::RadioButton:
    case ComponentKind::Button:
    case ComponentKind::ListBox:
    case ComponentKind::Panel:
        return true;
    default:
        return false;
    }
}

} // namespace

void SetApplication(TApplicationModel* application)
{
    TheApplication = application;
}

TApplicationModel* GetApplication()
{
    return TheApplication;
}

std::uint8_t CharsetForLanguage(const LngCode& code)
{
    const LngCode cut = CutLngCode(code);
    if (cut == "PL" || cut == "CS") return 238;
    if (cut == "EL") return 161;
    if (cut == "RU") return 204;
    return 0;
}

void TranslateComponent(TComponent& component, const LngCode& fromLng, const LngCode& toLng)
{
    if (!MLSystem || MLSystem->Groups.empty() || fromLng == toLng) return;
    const tMLSystem& system = *MLSystem;
    const TComponent* canvas = MeasuringForm(component);
    if (component.Kind() == ComponentKind::Form) component.SetText(system.Translate(component.GetText(), fromLng, toLng));
    TranslateOwned(component, system, fromLng, toLng, canvas);
}

void TranslateForm(TComponent& form)
{
    if (MLSystem) TranslateComponent(form, MLSystem->BaseLng, MLSystem->CurrentLng);
    ApplyFormCharset(form);
}

void ApplyFormCharset(TComponent& form)
{
    if (FormCharset != 0) SetComponentCharset(form, FormCharset);
}

bool SwitchLanguage(const LngCode& fromLng, const LngCode& toLng, const LngCode& newFallback)
{
    if (!MLSystem || MLSystem->Groups.empty() || MLSystem->IndexOfLanguage(toLng) < 0) return false;
    if (!newFallback.empty()) MLSystem->FallbackLng = CutLngCode(newFallback);
    if (TheApplication != nullptr) {
        for (int i = 0; i < TheApplication->FormCount(); ++i) {
            if (TComponent* form = TheApplication->Forms(i)) TranslateComponent(*form, fromLng, toLng);
        }
    }
    MLSystem->CurrentLng = CutLngCode(toLng);
    SetCharsetAll(CharsetForLanguage(toLng));
    return true;
}

void SetCharsetAll(std::uint8_t charset)
{
    if (TheApplication != nullptr) {
        for (int i = 0; i < TheApplication->FormCount(); ++i) {
            if (TComponent* form = TheApplication->Forms(i)) SetComponentCharset(*form, charset);
        }
    }
    FormCharset = charset;
}

void SetComponentCharset(TComponent& component, std::uint8_t charset)
{
    if (component.Kind() == ComponentKind::Form) component.SetCharset(charset);
    for (int i = 0; i < component.ComponentCount(); ++i) {
        TComponent* owned = component.Components(i);
        if (owned != nullptr && TakesCharset(owned->Kind()) && !owned->ParentFont()) owned->SetCharset(charset);
    }
}
