#pragma once
// A light reading of the language text that start-up keeps in
// Engine.LanguageFileText, for the unattended mode, which shows no window and
// needs only the language codes and one translated name. Bytes: UTF-8 after
// its mark, UTF-16 LE after FF FE or without a mark; other marks give nothing.
#include <string>
#include <vector>

// The text's lines, trimmed of characters up to U+0020.
std::vector<std::u16string> LanguageTextLines(const std::string& bytes);

// The language codes of the text's language lines ("EN=..." or "EN12=..."), in
// order of first occurrence: two or three capitals, the key's letters cut to three.
std::vector<std::string> LanguageCodesOfText(const std::string& bytes);

// The value of the line for code in the block whose "DE" line says german
// (ASCII text); empty when there is none.
std::u16string TranslateByGermanText(const std::string& bytes, const std::string& german, const std::string& code);
