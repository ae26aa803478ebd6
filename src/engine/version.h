#pragma once
// Version texts of the installer ("Version" of the script) and of an installed
// product (its "Ver" registry value), made comparable byte by byte.
#include <string>

// Trimmed; a text with a "." gets at least two characters before the first "."
// (zeros in front) and at least five characters in all (zeros appended):
// 1.2 -> 01.20, 12.5 -> 12.50, 2012-01 stays.
std::string NormalizeVersion(const std::string& text);

// Whether the installed version is newer than the installer's, both given:
// false when the installer's version has a "." or "-" the installed one lacks,
// else the normalised texts compared as unsigned bytes.
bool InstalledVersionTextIsNewer(const std::string& installedVersion, const std::string& setupVersion);
