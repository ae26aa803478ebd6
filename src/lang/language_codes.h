#pragma once
// Language codes: at most 3 characters, compared byte for byte (so "de" never
// equals "DE"); a valid code is 2 or 3 ASCII capitals.
#include <string>

using LngCode = std::string;

// The first 3 characters, as every place that takes a code keeps them.
LngCode CutLngCode(const std::string& code);
// The cut code, with "US" turned into "EN".
LngCode NormalizeLngCode(const std::string& code);
// After the cut: 2 or 3 characters, each 'A'..'Z'.
bool IsLngCode(const std::string& code);
