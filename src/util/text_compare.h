#pragma once
// Comparison of 8-bit text without regard to letter case, by the system's
// locale rules on Windows (CompareStringA with NORM_IGNORECASE). The portable
// build folds ASCII letters only.
#include <string>

// Negative, zero or positive, like strcmp.
int CompareTextIgnoreCase(const std::string& a, const std::string& b);
bool SameTextIgnoreCase(const std::string& a, const std::string& b);
