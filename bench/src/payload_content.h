#pragma once
// The bytes of one planned file, made from its own seed.
#include <string>

#include "payload_mix.h"

// Sets out to the file's contents (exactly file.Size bytes).
void MakeContent(const TPlannedFile& file, std::string& out);
