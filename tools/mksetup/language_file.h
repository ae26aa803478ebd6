#pragma once
// The language file as the installer carries it: UTF-16LE text starting with
// the byte-order mark FF FE.
#include <string>

// UTF-16LE with its mark is taken as it is; UTF-8, with or without its mark,
// is converted. Anything else throws ToolError(ExitBadInput) naming fileName.
std::string LanguageSectionData(const std::string& fileName, const std::string& bytes);
