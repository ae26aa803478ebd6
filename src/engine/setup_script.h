#pragma once
// The command script run and its dispatcher. A script is 8-bit text, one
// command per line; each line is comma text with an "action" item that selects
// the handler. Failures are texts in Engine.ErrorText (AddError, commands.h);
// a run with errors leaves its log in LogFileName.
#include <cstddef>
#include <string>

#include "engine/commands.h"
#include "engine/script_actions.h"

// Where a run with errors writes its log.
extern const char* const LogFileName; // "C:\Setup.log"

// Runs the script from the own file's sections. With pathOnly only the "path"
// lines run and nothing is written at the end; otherwise every line runs, then
// the uninstaller and the product's "Exec" and "DataPath" values are written.
// True when ErrorText is empty at the end. Exceptions from the decompression
// and from creating the log pass through.
bool RunSetupScript(bool pathOnly);

// Runs one script line; "save" and "saveifnotexists" consume the payload.
bool ExecuteCommand(const std::string& line, TPayload& payload);

// The "action" value of a script line.
std::string CommandAction(const std::string& line);

// The handler a line's items select: only the first ActionLength characters
// of the action take part in the matching.
const std::size_t ActionLength = 31;
TScriptAction LineAction(const TParams& params);
