#include "engine/language_texts.h"

#include "container/sections.h"
#include "engine/engine_state.h"
#include "lang/byte_order.h"
#include "lang/ml_startup.h"

namespace {

// "D:\Setup.exe" -> "D:\Setup.lng"; a name without extension gets one.
std::string WithLngExtension(const std::string& path)
{
    const std::size_t separator = path.find_last_of("\\/:");
    const std::size_t dot = path.rfind('.');
    if (dot == std::string::npos || (separator != std::string::npos && dot < separator)) return path + ".lng";
    return path.substr(0, dot) + ".lng";
}

} // namespace

bool LoadLanguageSection()
{
    LoadOwnSections();
    std::string section;
    if (!GetSection(SectionSetupLng, OwnSectionPart, section) || section.empty()) return false;
    LoadFromWideText(BytesToWide(section), true);
    Engine.LanguageFileText = section;
    return true;
}

void LoadStartupLanguageTexts(const std::string& programPath)
{
    if (LoadLanguageSection()) return;
    // A file that is missing or not language text loads nothing and says nothing.
    LoadLngFile(WithLngExtension(programPath), true);
    const WideString exported = ExportText(*MLSystem);
    Engine.LanguageFileText = exported.empty() ? std::string() : WideToUtf16LeBytes(exported);
}
