#pragma once
// The check of a program folder chosen by the user or given on the command line.
#include <string>

// The path with "/" as "\" and runs of separators as one, the two that start
// a network path aside.
std::string NormalizedPath(const std::string& path);

// Whether two paths name the same place: normalised, letter case ignored.
bool SamePath(const std::string& a, const std::string& b);

// Trims blanks and control characters from both ends and normalises the
// separators (in place), refuses "." and ".." steps, refuses
// anything but a drive path ("X:...") or a network path ("\\..."), appends a
// final "\" and refuses drive roots and bare server names.
bool ValidateProgramFolder(std::string& folder);
