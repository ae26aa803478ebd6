#pragma once
// Start-up of the program with its windows (the silent mode has its own):
// texts, the persons terms, the language texts, the check for a second copy,
// the main window and the message loop. The caller has restricted the DLL
// search path, read the command line and initialised COM.
#include <string>

// The start-up texts (group "MainDPR"), translated into the current language.
std::string MainDPRText(int id);

// The program's path with its extension replaced ("D:\Setup.exe" -> "D:\Setup.lng").
std::string WithExtension(const std::string& path, const std::string& extension);

// Loads the own file's language section into the text system and keeps its
// bytes as Engine.LanguageFileText; false when the file cannot be read or the
// section is missing or empty.
bool LoadEmbeddedLanguage();

// The language section, else the ".lng" file beside the program (whose export
// is then kept as Engine.LanguageFileText); with neither, the German texts stay.
void LoadLanguageTexts(const std::string& programPath);

// True when another copy shows its main window.
bool AnotherCopyRunning();

// Runs the program with its windows; returns the exit code (always 0).
int RunWindowMode();
