#pragma once
// The action words of the command script, in one list for the dispatcher that
// runs a script and for the packer that checks one. Portable.
#include <string>

enum class TScriptAction { Unknown, DesktopIni, Exec, Icon, Path, Save, SaveIfNotExists, Uninst };

// The action that the word names, compared exactly (letter case counts);
// Unknown for any other word, the empty one included.
TScriptAction ScriptActionOf(const std::string& action);

// Whether the installer runs this action.
bool IsKnownAction(const std::string& action);
