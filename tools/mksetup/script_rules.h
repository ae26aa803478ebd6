#pragma once
// What the packer checks in a command script beyond the installer's own rules
// (the action words and the comma text come from the engine).
#include <string>

#include "engine/command_text.h"
#include "engine/script_actions.h"

// Items that have no "name=" part: the installer ignores them, and they mostly
// come from a value with a blank that was not quoted.
std::vector<std::string> ItemsWithoutName(const TParams& items);

// The installer's reading of a size: a signed 32-bit decimal integer, -1 when
// the text is none.
long long ScriptInteger(const std::string& text);
