#include "mksetup/script_rules.h"

#include "util/ansi_strings.h"

namespace {

bool IsBlankOrControl(char c)
{
    const unsigned char u = static_cast<unsigned char>(c);
    return u >= 1 && u <= 32;
}

} // namespace

bool IsKnownAction(const std::string& action)
{
    static const char* const actions[] = {"desktopini", "exec", "icon", "path", "save", "saveifnotexists", "uninst"};
    for (const char* known : actions)
        if (action == known) return true;
    return false;
}

bool HasUnclosedQuote(const std::string& line)
{
    const std::size_t n = line.size();
    std::size_t i = 0;
    while (i < n && IsBlankOrControl(line[i])) ++i;
    while (i < n) {
        if (line[i] == '"') {
            ++i;
            bool closed = false;
            while (i < n) {
                if (line[i] == '"') {
                    if (i + 1 < n && line[i + 1] == '"') {
                        i += 2;
                        continue;
                    }
                    ++i;
                    closed = true;
                    break;
                }
                ++i;
            }
            if (!closed) return true;
        } else {
            while (i < n && line[i] != ',' && static_cast<unsigned char>(line[i]) > 32) ++i;
        }
        while (i < n && IsBlankOrControl(line[i])) ++i;
        if (i < n && line[i] == ',') {
            ++i;
            while (i < n && IsBlankOrControl(line[i])) ++i;
        }
    }
    return false;
}

std::vector<std::string> ItemsWithoutName(const TParams& items)
{
    std::vector<std::string> bare;
    for (const std::string& item : items)
        if (!item.empty() && item.find('=') == std::string::npos) bare.push_back(item);
    return bare;
}

long long ScriptInteger(const std::string& text)
{
    return TextToIntOrMinusOne(text);
}
