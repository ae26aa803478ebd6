#pragma once
// The arguments of the unattended (silent) mode:
//   Setup.exe /S [/D=folder] [/LANG=code] [/NODESKTOP] [/LOG[=file]]
//   uninstall.exe /uninst [UninstallKey=name] /S [/LOG[=file]]
// Option names ignore letter case.
#include <string>
#include <vector>

#include "engine/exit_codes.h" // the exit codes

struct TUnattendedOptions {
    bool HasFolder = false;
    std::string Folder;
    bool HasLanguage = false;
    std::string Language; // in capitals, at most 3 characters
    bool NoDesktop = false;
};

// Whether an argument is "/S" in any letter case.
bool SilentModeRequested(const std::vector<std::string>& arguments);

// Reads the arguments; false with a message for an unknown argument, an empty
// folder or language. The uninstaller accepts any argument.
bool ParseUnattendedArguments(const std::vector<std::string>& arguments, bool uninstallMode,
                              TUnattendedOptions& options, std::string& message);

// The language a window would preselect for the system's primary language id:
// empty for German (the base language stays), "ES", "FR", "HU", "IT", "PL",
// else "EN".
std::string PreselectedLanguage(unsigned primaryLanguage);

// The language of a silent installation, from the loaded texts (MLSystem): a
// requested language the texts hold, or the base language "DE"; without a
// request the preselection for primaryLanguage when the texts hold it, else
// "DE". False, code empty, when the requested language is not in the texts.
bool ChooseUnattendedLanguage(const TUnattendedOptions& options, unsigned primaryLanguage, std::string& code);
