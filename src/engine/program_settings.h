#pragma once
// After a successful installation: the installed program's settings file
// (MainProgram with the extension ".ini", name=value lines) and the removal of
// files that older versions left in the program folder. Windows builds only.
#include <functional>
#include <string>

// Sets "Lng" to Engine.LanguageCode; a new file also gets the form templates
// found under Engine.PgmPath and, when askPersonsTerm gives one, "PersonsTerm".
// Raises Exception when the file exists but cannot be read, or cannot be
// written. Does nothing without MainProgram.
void WriteProgramSettings(const std::function<std::string()>& askPersonsTerm = nullptr);

// The settings file's path: MainProgram with its extension replaced by ".ini".
std::string ProgramSettingsPath();

// Deletes the copies of files that moved to the "System" folder and former
// names of the manual; failures are ignored.
void RemoveObsoleteFiles();

// Steps of the installation after the folder was accepted: sets PgmPath,
// CreateDesktopLinks and LanguageCode, gives a former start-menu folder and
// desktop link their new names, and runs the whole script. True when the run
// reported no error.
bool RunInstallation(const std::string& programFolder, bool createDesktopLinks, const std::string& languageCode);
