#include "engine/unattended_options.h"

#include "engine/command_line.h"
#include "lang/ml_startup.h"

namespace {

// The value behind "name" when argument starts with it (letter case ignored).
bool OptionValue(const std::string& argument, const char* name, std::string& value)
{
    const std::string prefix = name;
    if (AsciiLowerCase(argument.substr(0, prefix.size())) != prefix) return false;
    value = argument.substr(prefix.size());
    return true;
}

std::string AsciiUpperCase(const std::string& text)
{
    std::string upper = text;
    for (char& c : upper)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return upper;
}

bool IsLoadedLanguage(const std::string& code)
{
    return MLSystem && MLSystem->IndexOfLanguage(code) >= 0;
}

} // namespace

bool SilentModeRequested(const std::vector<std::string>& arguments)
{
    for (const std::string& argument : arguments)
        if (AsciiLowerCase(argument) == "/s") return true;
    return false;
}

bool ParseUnattendedArguments(const std::vector<std::string>& arguments, bool uninstallMode,
                              TUnattendedOptions& options, std::string& message)
{
    options = TUnattendedOptions();
    for (const std::string& argument : arguments) {
        const std::string lower = AsciiLowerCase(argument);
        std::string value;
        if (lower == "/s") continue;
        // The uninstaller's registered command line holds the script's own
        // "param" and the entry's name; it reads only "UninstallKey=".
        if (uninstallMode) continue;
        if (OptionValue(argument, "/d=", value)) {
            if (value.empty()) {
                message = "/D= needs a folder";
                return false;
            }
            // A quoted folder ending in a backslash swallows its closing quote.
            if (value.find_first_of("\"<>|*?") != std::string::npos) {
                message = "/D= folder holds a character no folder name may have: " + value;
                return false;
            }
            options.HasFolder = true;
            options.Folder = value;
            continue;
        } else if (OptionValue(argument, "/lang=", value)) {
            if (value.empty() || value.size() > 3) {
                message = "/LANG= needs a language code of two or three letters";
                return false;
            }
            options.HasLanguage = true;
            options.Language = AsciiUpperCase(value);
            continue;
        } else if (lower == "/log" || OptionValue(argument, "/log=", value)) {
            continue; // the run log's, read at start
        } else if (lower == "/nodesktop") {
            options.NoDesktop = true;
            continue;
        }
        message = "unknown argument: " + argument;
        return false;
    }
    return true;
}

std::string PreselectedLanguage(unsigned primaryLanguage)
{
    switch (primaryLanguage) {
    case 0x07: return std::string();
    case 0x0A: return "ES";
    case 0x0C: return "FR";
    case 0x0E: return "HU";
    case 0x10: return "IT";
    case 0x15: return "PL";
    default: return "EN";
    }
}

bool ChooseUnattendedLanguage(const TUnattendedOptions& options, unsigned primaryLanguage, std::string& code)
{
    const std::string base = MLSystem ? MLSystem->BaseLng : std::string("DE");
    code = base;
    if (options.HasLanguage) {
        if (options.Language != base && !IsLoadedLanguage(options.Language)) {
            code.clear();
            return false;
        }
        code = options.Language;
        return true;
    }
    const std::string preselected = PreselectedLanguage(primaryLanguage);
    if (!preselected.empty() && IsLoadedLanguage(preselected)) code = preselected;
    return true;
}
