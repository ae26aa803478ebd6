#pragma once
// What the installer accepts in a command script, as far as the packer checks
// it: the action words and the quoting of a line.
#include <string>

#include "engine/command_text.h"

// Whether the installer runs this action (exact, letter case counts).
bool IsKnownAction(const std::string& action);

// Whether a quoted item of the line runs to its end without a closing quote
// (the installer would then silently drop the line's last character).
bool HasUnclosedQuote(const std::string& line);

// Items that have no "name=" part: the installer ignores them, and they mostly
// come from a value with a blank that was not quoted.
std::vector<std::string> ItemsWithoutName(const TParams& items);

// The installer's reading of a size: a signed 32-bit decimal integer, -1 when
// the text is none.
long long ScriptInteger(const std::string& text);
