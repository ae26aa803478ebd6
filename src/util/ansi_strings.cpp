#include "util/ansi_strings.h"

namespace {

bool IsHexDigit(char c, std::uint32_t& digit)
{
    if (c >= '0' && c <= '9') digit = static_cast<std::uint32_t>(c - '0');
    else if (c >= 'a' && c <= 'f') digit = static_cast<std::uint32_t>(c - 'a' + 10);
    else if (c >= 'A' && c <= 'F') digit = static_cast<std::uint32_t>(c - 'A' + 10);
    else return false;
    return true;
}

} // namespace

bool TryTextToInt(const std::string& text, std::int32_t& value)
{
    std::size_t i = 0;
    const std::size_t n = text.size();
    while (i < n && text[i] == ' ') ++i;
    bool negative = false;
    if (i < n && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    bool hex = false;
    if (i < n && (text[i] == '$' || text[i] == 'x' || text[i] == 'X')) {
        hex = true;
        ++i;
    } else if (i + 1 < n && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
        hex = true;
        i += 2;
    }
    if (i >= n) return false;

    if (hex) {
        std::uint64_t magnitude = 0;
        for (; i < n; ++i) {
            std::uint32_t digit;
            if (!IsHexDigit(text[i], digit)) return false;
            magnitude = magnitude * 16 + digit;
            if (magnitude > 0xFFFFFFFFull) return false;
        }
        std::uint32_t bits = static_cast<std::uint32_t>(magnitude);
        if (negative) bits = 0u - bits;
        value = static_cast<std::int32_t>(bits);
        return true;
    }

    std::uint64_t magnitude = 0;
    for (; i < n; ++i) {
        const char c = text[i];
        if (c < '0' || c > '9') return false;
        magnitude = magnitude * 10 + static_cast<std::uint64_t>(c - '0');
        if (magnitude > 2147483648ull) return false;
    }
    if (!negative && magnitude > 2147483647ull) return false;
    value = negative ? static_cast<std::int32_t>(-static_cast<std::int64_t>(magnitude))
                     : static_cast<std::int32_t>(magnitude);
    return true;
}

std::int32_t TextToIntOrZero(const std::string& text)
{
    std::int32_t value;
    return TryTextToInt(text, value) ? value : 0;
}

std::int32_t TextToIntOrMinusOne(const std::string& text)
{
    std::int32_t value;
    return TryTextToInt(text, value) ? value : -1;
}

char CharAtPos(const std::string& text, int position)
{
    if (position < 1 || static_cast<std::size_t>(position) > text.size()) return 0;
    return text[static_cast<std::size_t>(position) - 1];
}

char FirstCharOf(const std::string& text)
{
    return text.empty() ? 0 : text[0];
}

std::string LeftPart(const std::string& text, int count)
{
    if (count <= 0) return std::string();
    return text.substr(0, static_cast<std::size_t>(count));
}

std::string PartFrom(const std::string& text, int position)
{
    if (position <= 1) return text;
    if (static_cast<std::size_t>(position) > text.size()) return std::string();
    return text.substr(static_cast<std::size_t>(position) - 1);
}

std::string WithoutLeft(const std::string& text, int count)
{
    if (count <= 0) return text;
    if (static_cast<std::size_t>(count) >= text.size()) return std::string();
    return text.substr(static_cast<std::size_t>(count));
}

WideString WithoutLeftWide(const WideString& text, int count)
{
    if (count <= 0) return text;
    if (static_cast<std::size_t>(count) >= text.size()) return WideString();
    return text.substr(static_cast<std::size_t>(count));
}

std::string WithoutFirstChar(const std::string& text)
{
    return WithoutLeft(text, 1);
}

std::string StripTrailingSlash(const std::string& path)
{
    if (!path.empty() && (path.back() == '/' || path.back() == '\\'))
        return path.substr(0, path.size() - 1);
    return path;
}

void AppendBackslash(std::string& path)
{
    if (!path.empty() && path.back() != '\\') path += '\\';
}

std::string SplitOffFirstItem(std::string& list)
{
    const std::size_t semicolon = list.find(';');
    if (semicolon == std::string::npos) {
        std::string item;
        item.swap(list);
        return item;
    }
    std::string item = list.substr(0, semicolon);
    list.erase(0, semicolon + 1);
    return item;
}
