#pragma once
// Case-insensitive keys and comparisons that avoid the locale call for plain
// ASCII text, where it gives the same answer at a fraction of the cost (the
// locale comparison costs microseconds per call under Wine, and the engine
// compares thousands of paths).
#include <string>

bool IsAsciiText(const std::string& text);

// A key under which texts that compare equal without regard to letter case
// are equal: ASCII letters folded directly, other texts by UpperCaseText.
std::string CaseInsensitiveKey(const std::string& text);

// SameTextIgnoreCase with an ASCII fast path; length and count are the part
// of a that takes part (a.substr(start, count) without the copy).
bool SameTextIgnoreCaseFast(const std::string& a, std::size_t start, std::size_t count, const std::string& b);
