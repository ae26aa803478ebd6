#pragma once
// Conversions between 8-bit text in a given Windows code page and UTF-16.
// Windows uses the system's own conversion functions; the portable build
// uses iconv with the same code page numbers (see code_pages_posix.cpp for
// where its results differ from Windows).
#include <cstdint>
#include <string>

#include "util/ansi_strings.h"

constexpr std::uint32_t CodePageWindows1252 = 1252;
constexpr std::uint32_t CodePageUtf8 = 65001;

// MultiByteToWideChar with MB_PRECOMPOSED; empty for an empty text and for a
// text or code page the system cannot convert.
WideString AnsiToWide(const std::string& text, std::uint32_t codePage);

// WideCharToMultiByte with WC_COMPOSITECHECK | WC_DISCARDNS | WC_SEPCHARS |
// WC_DEFAULTCHAR and the code page's own default character; the input ends
// at its first U+0000. Characters the code page lacks become a similar one
// (best fit) or the default character.
std::string WideToAnsi(const WideString& text, std::uint32_t codePage);

// UTF-8 bytes to UTF-16; invalid sequences become U+FFFD.
WideString Utf8ToWide(const std::string& bytes);
