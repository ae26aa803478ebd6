#include "util/text_compare.h"

#include <algorithm>

namespace {

unsigned char FoldAscii(char c)
{
    const unsigned char u = static_cast<unsigned char>(c);
    return (u >= 'A' && u <= 'Z') ? static_cast<unsigned char>(u + 32) : u;
}

} // namespace

int CompareTextIgnoreCase(const std::string& a, const std::string& b)
{
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        const int d = FoldAscii(a[i]) - FoldAscii(b[i]);
        if (d != 0) return d;
    }
    return a.size() < b.size() ? -1 : (a.size() > b.size() ? 1 : 0);
}

bool SameTextIgnoreCase(const std::string& a, const std::string& b)
{
    return CompareTextIgnoreCase(a, b) == 0;
}

std::string UpperCaseText(const std::string& text)
{
    std::string result = text;
    for (char& c : result) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
    }
    return result;
}
