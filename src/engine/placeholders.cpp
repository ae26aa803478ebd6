#include "engine/placeholders.h"

#include "engine/commands.h"
#include "engine/engine_state.h"

bool ReplaceFirst(std::string& text, const std::string& placeholder, const std::string& replacement)
{
    const std::size_t position = text.find(placeholder);
    if (position == std::string::npos) return false;
    text.replace(position, placeholder.size(), replacement);
    return true;
}

std::string CollapseDoubledBackslashes(const std::string& text)
{
    // The first two characters stay as they are: a network path begins with "\\".
    const std::size_t kept = text.size() < 2 ? text.size() : 2;
    std::string result = text.substr(0, kept);
    for (std::size_t i = kept; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 1 < text.size() && text[i + 1] == '\\') continue;
        result += text[i];
    }
    return result;
}

namespace {

void ReplaceFromLookup(std::string& text, const char* placeholder, std::string (*lookup)())
{
    const std::size_t position = text.find(placeholder);
    if (position == std::string::npos) return;
    const std::string value = lookup ? lookup() : std::string();
    text.replace(position, std::char_traits<char>::length(placeholder), value);
}

void ReplaceFromState(std::string& text, const char* placeholder, const std::string& value)
{
    if (!ReplaceFirst(text, placeholder, value)) return;
    if (value.empty()) AddError(std::string("no def for ") + placeholder);
}

} // namespace

std::string ExpandPlaceholdersUsing(const std::string& text, const TFolderLookups& lookups)
{
    std::string result = text;
    ReplaceFromLookup(result, "*Programs*", lookups.Programs);
    ReplaceFromLookup(result, "*Desktop*", lookups.Desktop);
    ReplaceFromLookup(result, "*StartMenu*", lookups.StartMenu);
    ReplaceFromState(result, "*PgmPath*", Engine.PgmPath);
    ReplaceFromState(result, "*DataPath*", Engine.DataPath);
    ReplaceFromState(result, "*MyStartMenu*", Engine.MyStartMenu);
    return CollapseDoubledBackslashes(result);
}
