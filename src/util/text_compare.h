#pragma once
// Comparison of 8-bit text without regard to letter case, by the system's
// locale rules on Windows (CompareStringA with NORM_IGNORECASE), and upper
// case by the same rules (LCMapStringA). The portable build folds ASCII
// letters only.
#include <string>

// Negative, zero or positive, like strcmp.
int CompareTextIgnoreCase(const std::string& a, const std::string& b);
bool SameTextIgnoreCase(const std::string& a, const std::string& b);

// The text in capitals (locale-aware on Windows, ASCII letters natively).
std::string UpperCaseText(const std::string& text);
