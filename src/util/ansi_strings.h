#pragma once
// Byte-string cutting and integer parsing. Positions count from 1; no function
// here fails: out-of-range counts and positions fall into the documented cases.
#include <cstdint>
#include <string>

// UTF-16 text, independent of the platform's wchar_t width.
using WideString = std::u16string;

// Parses blanks, an optional sign, then decimal digits or a hex number
// ('$', 'x', 'X', '0x', '0X'); false for anything else.
bool TryTextToInt(const std::string& text, std::int32_t& value);
std::int32_t TextToIntOrZero(const std::string& text);
std::int32_t TextToIntOrMinusOne(const std::string& text);

char CharAtPos(const std::string& text, int position);
char FirstCharOf(const std::string& text);
std::string LeftPart(const std::string& text, int count);
std::string PartFrom(const std::string& text, int position);
std::string WithoutLeft(const std::string& text, int count);
WideString WithoutLeftWide(const WideString& text, int count);
std::string WithoutFirstChar(const std::string& text);

// Drops one trailing '/' or '\'.
std::string StripTrailingSlash(const std::string& path);
// Appends '\' to a non-empty path that does not end in one.
void AppendBackslash(std::string& path);
// Cuts the text before the first ';' off the list and returns it.
std::string SplitOffFirstItem(std::string& list);
