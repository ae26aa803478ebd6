#include "mksetup/script_rules.h"

#include "util/ansi_strings.h"

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
