#include "lang/language_codes.h"

LngCode CutLngCode(const std::string& code)
{
    return code.substr(0, 3);
}

LngCode NormalizeLngCode(const std::string& code)
{
    const LngCode cut = CutLngCode(code);
    return cut == "US" ? LngCode("EN") : cut;
}

bool IsLngCode(const std::string& code)
{
    const LngCode cut = CutLngCode(code);
    if (cut.size() < 2) return false;
    for (char c : cut) {
        if (c < 'A' || c > 'Z') return false;
    }
    return true;
}
