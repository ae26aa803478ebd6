#pragma once
// Byte-order marks and the turning of raw text bytes into UTF-16.
#include <cstdint>
#include <string>

#include "util/ansi_strings.h"

enum class TextEncoding : std::uint8_t {
    None = 0,
    Utf8 = 1,
    Utf16LE = 2,
    Utf16BE = 3,
    Utf32LE = 4,
    Utf32BE = 5,
};

struct ByteOrderMark {
    TextEncoding encoding = TextEncoding::None;
    std::size_t length = 0;
};

// The mark at the start of the bytes. UTF-32 LE is tested before UTF-16 LE, so
// FF FE 00 00 counts as UTF-32 even when it is UTF-16 text starting with U+0000.
ByteOrderMark DetectByteOrderMark(const char* bytes, std::size_t length);

// Little-endian 16-bit units from bytes; an odd last byte is dropped.
WideString Utf16LeBytesToWide(const char* bytes, std::size_t length);
std::string WideToUtf16LeBytes(const WideString& text);

// The bytes of a language section as text: UTF-8 after the UTF-8 mark, UTF-16 LE
// after its mark or without one; empty for any other mark.
WideString BytesToWide(const std::string& bytes);
