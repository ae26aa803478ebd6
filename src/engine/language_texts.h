#pragma once
// Start-up's loading of the language texts into the text system (MLSystem),
// shared by the window mode and the silent mode. What was loaded is also kept
// as Engine.LanguageFileText, the bytes the uninstaller carries.
#include <string>

// The own file's language section into MLSystem (created when missing), its
// bytes kept unchanged; false when the own file cannot be read or the section
// is missing or empty.
bool LoadLanguageSection();

// The language section, else the ".lng" file beside programPath, whose export
// (UTF-16 LE with the mark FF FE) is then kept. With neither, the texts stay
// the German defaults and nothing is kept.
void LoadStartupLanguageTexts(const std::string& programPath);
