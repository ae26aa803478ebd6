#include "lang/system_locale.h"

#include <cstdlib>
#include <cstring>
#include <string>

// There is no Windows locale here: the language of LC_ALL, LC_CTYPE or LANG
// (the first one set) picks the language identifier and the ANSI code page that
// Windows would use for it, the way Wine derives them from the same variables.
// Anything unknown counts as English with Windows-1252.
namespace {

struct LocaleEntry {
    const char* language;
    std::uint16_t languageId;
    std::uint32_t codePage;
};

constexpr LocaleEntry kLocales[] = {
    {"de", 0x0407, 1252}, {"en", 0x0409, 1252}, {"es", 0x0C0A, 1252}, {"fr", 0x040C, 1252},
    {"it", 0x0410, 1252}, {"hu", 0x040E, 1250}, {"pl", 0x0415, 1250}, {"cs", 0x0405, 1250},
    {"ru", 0x0419, 1251}, {"el", 0x0408, 1253}, {"tr", 0x041F, 1254},
};

std::string LocaleName()
{
    for (const char* name : {"LC_ALL", "LC_CTYPE", "LANG"}) {
        const char* value = std::getenv(name);
        if (value != nullptr && *value != '\0') return value;
    }
    return std::string();
}

} // namespace

SystemLocale QuerySystemLocale()
{
    const std::string name = LocaleName();
    const std::string language = name.substr(0, name.find_first_of("_.@"));
    for (const LocaleEntry& entry : kLocales) {
        if (language == entry.language) return {entry.languageId, entry.codePage};
    }
    return {0x0409, 1252};
}
