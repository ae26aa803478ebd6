#pragma once
// Translation of whole windows and the font character set of a language.
#include <cstdint>

#include "lang/components.h"
#include "lang/language_codes.h"

// The character set the last language switch applied (0 at first); forms
// created later get it through ApplyFormCharset.
extern std::uint8_t FormCharset;

// 238 for "PL" and "CS", 161 for "EL", 204 for "RU", 0 otherwise.
std::uint8_t CharsetForLanguage(const LngCode& code);

// Translates a form's caption and the texts and hints of what the component
// owns (panels recursively); check boxes and radio buttons grow to fit their
// new text plus 22 pixels, never shrink.
void TranslateComponent(TComponent& component, const LngCode& fromLng, const LngCode& toLng);
// From BaseLng into CurrentLng, then ApplyFormCharset. Every form calls it when created.
void TranslateForm(TComponent& form);
void ApplyFormCharset(TComponent& form);
// Translates every form of the application, makes toLng current and sets the
// language's character set. False, changing nothing, when toLng is not loaded.
bool SwitchLanguage(const LngCode& fromLng, const LngCode& toLng, const LngCode& newFallback);
void SetCharsetAll(std::uint8_t charset);
// The form's font and that of each owned label, check box, radio button,
// button, list box and panel with a font of its own.
void SetComponentCharset(TComponent& component, std::uint8_t charset);
