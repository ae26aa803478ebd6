#include "lang/translation.h"

#include "lang/ml_startup.h"
#include "lang/ml_system.h"
#include "lang/text_trim.h"
#include "util/text_compare.h"

std::string tMLSystem::GetTranslation(const tMLGroup& group, int i, bool useFallback) const
{
    std::string t = group.GetTextByIndex(i);
    if (!t.empty()) return t;
    if (i >= 0 && static_cast<std::size_t>(i) < Languages.size()) {
        // A language such as "US" borrows the texts of its normalised code.
        const int j = IndexOfLanguage(Languages[static_cast<std::size_t>(i)]->NormCode);
        if (j >= 0 && j != i) {
            t = group.GetTextByIndex(j);
            if (!t.empty()) return t;
        }
    }
    if (useFallback) {
        t = group.GetTextByCode(FallbackLng);
        if (t.empty()) t = group.GetTextByCode(BaseLng);
    }
    return t;
}

std::string tMLSystem::Translate(const std::string& input, const LngCode& fromLng, const LngCode& toLng) const
{
    if (input.empty()) return input;
    const int fi = IndexOfLanguage(fromLng);
    const int ti = IndexOfLanguage(toLng);
    if (fi < 0 || ti < 0 || fi == ti) return input;

    std::string text = input;
    // Only the first '&' is an accelerator marker, and only before a visible character.
    const std::size_t amp = text.find('&');
    if (amp != std::string::npos && amp + 1 < text.size() && static_cast<unsigned char>(text[amp + 1]) > 32) {
        text.erase(amp, 1);
    }
    std::size_t lead = 0;
    while (lead < text.size() && text[lead] == ' ') ++lead;
    const std::string prefix = text.substr(0, lead);
    text.erase(0, lead);
    std::size_t keep = text.size();
    while (keep > 1 && (text[keep - 1] == ' ' || text[keep - 1] == '.' || text[keep - 1] == ':')) --keep;
    const std::string suffix = text.substr(keep);
    text.resize(keep);
    if (TrimText(text).empty()) return prefix + text + suffix;

    for (const auto& group : Groups) {
        if (group->GetTextByIndex(fi) != text) continue;
        const std::string t = GetTranslation(*group, ti, false);
        if (!t.empty()) return prefix + t + suffix;
    }
    const std::string upper = UpperCaseText(text);
    for (const auto& group : Groups) {
        if (UpperCaseText(group->GetTextByIndex(fi)) != upper) continue;
        const std::string t = GetTranslation(*group, ti, true);
        if (!t.empty()) return prefix + t + suffix;
    }
    return prefix + text + suffix;
}

std::string tMLSystem::TranslateHint(const std::string& text, const LngCode& fromLng, const LngCode& toLng) const
{
    const std::size_t bar = text.find('|');
    if (bar == std::string::npos) return Translate(text, fromLng, toLng);
    if (bar == 0) return text;
    return Translate(text.substr(0, bar), fromLng, toLng) + text.substr(bar);
}

std::string tMLSystem::GetTextById(std::int32_t id) const
{
    const tMLGroup* group = nullptr;
    for (const auto& g : Groups) {
        if (g->Id == id) {
            group = g.get();
            break;
        }
    }
    if (group == nullptr) return std::string();

    std::string t = group->GetTextByCode(CurrentLng);
    const LngCode n = NormalizeLngCode(CurrentLng);
    if (t.empty() && n != CurrentLng) t = group->GetTextByCode(n);
    if (t.empty() && n != FallbackLng) t = group->GetTextByCode(FallbackLng);
    if (t.empty() && n != "EN") t = group->GetTextByCode("EN");
    if (t.empty()) t = group->GetTextByCode(BaseLng);
    return ResolveLineBreaks(t);
}

std::string ResolveLineBreaks(std::string text)
{
    std::size_t pos;
    while ((pos = text.find("#13#")) != std::string::npos) text.replace(pos, 4, "\r");
    return text;
}

std::string TranslateText(const std::string& text)
{
    if (!MLSystem) return text;
    return MLSystem->Translate(text, MLSystem->BaseLng, MLSystem->CurrentLng);
}

std::string GetLngText(std::int32_t id)
{
    return MLSystem ? MLSystem->GetTextById(id) : std::string();
}
