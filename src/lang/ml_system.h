#pragma once
// The text system: the languages and blocks (groups) of a loaded language
// file, the loader and the export, and the lookups that translate a text by
// its wording or fetch a block by its id.
//
// Language file: UTF-16 LE lines; blocks of non-blank lines separated by blank
// lines; inside a block "KEY=value" lines (the key in capitals is the language
// code, digits after it set the block id, e.g. "DE12=..."), and comment lines
// starting with "//" that may carry "ID=n;" items after their first three
// characters.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "lang/language_codes.h"
#include "lang/wide_string_list.h"
#include "util/ansi_strings.h"

class tMLSystem;

// One language of the loaded texts; its position in tMLSystem::Languages is
// the index all texts of that language are stored under.
struct tLngInfo {
    tLngInfo(tMLSystem* system, const LngCode& code);
    LngCode Code;
    LngCode NormCode;
    tMLSystem* System;
};

// One block of the language file.
class tMLGroup {
public:
    explicit tMLGroup(tMLSystem* system) : System(system) {}
    tMLGroup(const tMLGroup&) = delete;
    tMLGroup& operator=(const tMLGroup&) = delete;

    // Reads the block that starts at or after line pos (blank lines skipped) and
    // leaves pos behind the blank line that ended it. True when the block stored
    // at least one language line.
    bool ParseBlock(const TWStringList& lines, int& pos, bool keepLines);
    std::string GetTextByIndex(int index) const;
    std::string GetTextByCode(const LngCode& code) const;

    std::int32_t Id = 0;
    std::vector<std::string> Texts;  // per language index, in AnsiCodePage
    std::unique_ptr<TWStringList> Lines;  // whole trimmed source lines, with keep-lines only
    WideString Comment;                   // the block's last comment line
    tMLSystem* System;

private:
    void ReadIdFromComment(const std::string& line);
};

class tMLSystem {
public:
    explicit tMLSystem(const LngCode& baseLng);
    tMLSystem(const tMLSystem&) = delete;
    tMLSystem& operator=(const tMLSystem&) = delete;

    int IndexOfLanguage(const LngCode& code) const;
    int AddLanguage(const LngCode& code);
    void ClearAll();

    // Replaces all groups and languages by the blocks of the lines.
    void LoadFromLines(const TWStringList& lines, bool keepLines);
    // False, changing nothing, when the file cannot be read as language lines.
    bool LoadFromFile(const std::string& fileName, bool keepLines);
    // The export: per group with lines its last comment, its non-empty language
    // lines in language order and one empty line.
    std::unique_ptr<TWStringList> BuildLines() const;

    // The group's text for language index i; then the text of the language's
    // normalised code; with useFallback then FallbackLng's, then BaseLng's.
    std::string GetTranslation(const tMLGroup& group, int i, bool useFallback) const;
    // Translates text written in fromLng into toLng by its wording (ignoring the
    // first '&', leading blanks and trailing blanks, full stops and colons);
    // an unknown text comes back as it was, without its first '&'.
    std::string Translate(const std::string& text, const LngCode& fromLng, const LngCode& toLng) const;
    // For "short|long" hints: only the short part is translated.
    std::string TranslateHint(const std::string& text, const LngCode& fromLng, const LngCode& toLng) const;
    // The text of the first block with this id in CurrentLng, with fallbacks;
    // "#13#" becomes a carriage return. Empty when no block has the id.
    std::string GetTextById(std::int32_t id) const;

    const LngCode BaseLng;
    LngCode CurrentLng;
    LngCode FallbackLng;
    std::vector<std::unique_ptr<tLngInfo>> Languages;
    std::vector<std::unique_ptr<tMLGroup>> Groups;
};

// The 8-bit text with every "#13#" replaced by a carriage return.
std::string ResolveLineBreaks(std::string text);

// Splits the UTF-16 text into lines and loads them into system (or MLSystem,
// created if needed, for the overload without a system).
void LoadFromWideText(tMLSystem& system, const WideString& text, bool keepLines);
void LoadFromWideText(const WideString& text, bool keepLines);
// MLSystem (created if needed) loads the file.
bool LoadLngFile(const std::string& fileName, bool keepLines);
// BuildLines as one UTF-16 text with U+FEFF in front; empty without lines.
WideString ExportText(const tMLSystem& system);
