#include "util/case_key.h"

#include "util/text_compare.h"

namespace {

bool IsAsciiRange(const char* text, std::size_t count)
{
    for (std::size_t i = 0; i < count; ++i)
        if (static_cast<unsigned char>(text[i]) >= 0x80) return false;
    return true;
}

char AsciiUpper(char c)
{
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

} // namespace

bool IsAsciiText(const std::string& text)
{
    return IsAsciiRange(text.data(), text.size());
}

std::string CaseInsensitiveKey(const std::string& text)
{
    if (!IsAsciiText(text)) return UpperCaseText(text);
    std::string key = text;
    for (char& c : key) c = AsciiUpper(c);
    return key;
}

bool SameTextIgnoreCaseFast(const std::string& a, std::size_t start, std::size_t count, const std::string& b)
{
    const char* part = a.data() + start;
    if (IsAsciiRange(part, count) && IsAsciiText(b)) {
        if (count != b.size()) return false;
        for (std::size_t i = 0; i < count; ++i)
            if (AsciiUpper(part[i]) != AsciiUpper(b[i])) return false;
        return true;
    }
    return SameTextIgnoreCase(a.substr(start, count), b);
}
