#pragma once
// Trimming of characters up to the blank (codes 0..32) at both ends.
#include <string>
#include <type_traits>

#include "util/ansi_strings.h"

template <typename Text>
Text TrimControlAndBlanks(const Text& text)
{
    auto isSpace = [](auto c) { return static_cast<unsigned>(static_cast<std::make_unsigned_t<decltype(c)>>(c)) <= 32; };
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && isSpace(text[begin])) ++begin;
    while (end > begin && isSpace(text[end - 1])) --end;
    return text.substr(begin, end - begin);
}

inline std::string TrimText(const std::string& text)
{
    return TrimControlAndBlanks(text);
}

inline WideString TrimText(const WideString& text)
{
    return TrimControlAndBlanks(text);
}
