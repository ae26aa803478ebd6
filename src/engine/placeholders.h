#pragma once
// Placeholders in script paths: "*Programs*", "*Desktop*", "*StartMenu*",
// "*PgmPath*", "*DataPath*" and "*MyStartMenu*" (case-sensitive, first
// occurrence of each only), then doubled backslashes collapsed from the third
// character on, so that network paths keep their two leading backslashes.
#include <string>

// Replaces the placeholders by the well-known folders and the engine state;
// an empty PgmPath, DataPath or MyStartMenu removes its placeholder and adds
// "no def for *Name*" to Engine.ErrorText. Windows builds only.
std::string ExpandPlaceholders(const std::string& text);

// ExpandPlaceholders, then a final "\" appended to a non-empty result.
std::string ExpandFolderPath(const std::string& text);

// The folder lookups behind the first three placeholders; each is asked only
// when its placeholder occurs.
struct TFolderLookups {
    std::string (*Programs)();  // ends with "\"
    std::string (*Desktop)();   // no final "\"
    std::string (*StartMenu)(); // no final "\"
};

// ExpandPlaceholders with the given lookups (portable; the engine state and
// AddError supply the rest).
std::string ExpandPlaceholdersUsing(const std::string& text, const TFolderLookups& lookups);

// Deletes the first of two backslashes in a row, again and again, searching
// from the third character on.
std::string CollapseDoubledBackslashes(const std::string& text);

// Replaces the first occurrence of placeholder in text; false when there is none.
bool ReplaceFirst(std::string& text, const std::string& placeholder, const std::string& replacement);
