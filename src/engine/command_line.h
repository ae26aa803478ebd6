#pragma once
// The program's command line: the process is the uninstaller when its own file
// is named "uninstall.exe" or an argument is "/uninst" (any letter case).
#include <string>
#include <vector>

// Fills Engine.UninstallMode and Engine.CommandLineParams from the running
// program's path and its arguments (Windows builds only).
void ReadCommandLine();

// The arguments of a command line as the system splits it (blanks separate,
// double quotes group), the program path dropped, in the ANSI code page
// (Windows builds only).
std::vector<std::string> CommandLineArguments(const wchar_t* commandLine);

// The same from a given program path and arguments (the program path excluded).
void ApplyCommandLine(const std::string& programPath, const std::vector<std::string>& arguments);

// ASCII letters in lower case; other bytes unchanged.
std::string AsciiLowerCase(const std::string& text);
