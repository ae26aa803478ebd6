#include "util/text_compare.h"

#include <windows.h>

int CompareTextIgnoreCase(const std::string& a, const std::string& b)
{
    const int result = CompareStringA(LOCALE_USER_DEFAULT, NORM_IGNORECASE, a.data(), static_cast<int>(a.size()),
                                      b.data(), static_cast<int>(b.size()));
    return result == 0 ? 0 : result - CSTR_EQUAL;
}

bool SameTextIgnoreCase(const std::string& a, const std::string& b)
{
    return CompareTextIgnoreCase(a, b) == 0;
}

std::string UpperCaseText(const std::string& text)
{
    if (text.empty()) return text;
    const int length = static_cast<int>(text.size());
    std::string result(text.size(), '\0');
    const int written = LCMapStringA(LOCALE_USER_DEFAULT, LCMAP_UPPERCASE, text.data(), length, &result[0], length);
    if (written != length) return text;
    return result;
}
