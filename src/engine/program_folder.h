#pragma once
// The check of a program folder chosen by the user or given on the command line.
#include <string>

// Trims blanks and control characters from both ends (in place), refuses
// anything but a drive path ("X:...") or a network path ("\\..."), appends a
// final "\" and refuses drive roots and bare server names.
bool ValidateProgramFolder(std::string& folder);
