#include "lang/ml_startup.h"

#include "lang/system_locale.h"
#include "lang/window_translation.h"

std::uint16_t SystemPrimaryLanguage = 0;
std::uint32_t AnsiCodePage = 1252;
std::unique_ptr<tMLSystem> MLSystem;

void InitMultiLingua()
{
    const SystemLocale locale = QuerySystemLocale();
    InitMultiLingua(locale.defaultLanguageId, locale.ansiCodePage);
}

void InitMultiLingua(std::uint16_t defaultLanguageId, std::uint32_t ansiCodePage)
{
    SystemPrimaryLanguage = static_cast<std::uint16_t>(defaultLanguageId & 0x3FF);
    AnsiCodePage = ansiCodePage;
    // A repeated start (tests) begins without the texts and the character set of the last one.
    MLSystem.reset();
    FormCharset = 0;
    EnsureMLSystem();
}

void DoneMultiLingua()
{
    MLSystem.reset();
}

void EnsureMLSystem()
{
    if (!MLSystem) MLSystem = std::make_unique<tMLSystem>("DE");
}
