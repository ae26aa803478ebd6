#pragma once
// A stand-in for Setup.exe that passes the packer's program checks: a PE32+
// header with 16 data directories and no sections, headers of 0x200 bytes,
// then filler up to 0x400 bytes. A stub that reads the solid payload form
// carries the check item's section name, as Setup.exe does; an older one not.
#include <cstdint>
#include <string>

#include "support/test_support.h"

inline void PutLittle32(std::string& bytes, std::size_t at, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

// The security entry of that header.
constexpr std::size_t StubSecurityEntry = 0x98 + 144;

inline std::string PeStub(bool readsSolidForm = true)
{
    std::string image = "MZ" + MakeTestBytes(0x3FE, false, 9);
    if (readsSolidForm) image.replace(0x300, 18, std::string("Section:Setup.sum\0", 18));
    PutLittle32(image, 0x3C, 0x80);
    image.replace(0x80, 4, std::string("PE\0\0", 4));
    image.replace(0x80 + 6, 2, std::string("\0\0", 2)); // no sections
    image.replace(0x80 + 20, 2, std::string("\xF0\x00", 2));
    image.replace(0x98, 2, std::string("\x0B\x02", 2));
    PutLittle32(image, 0x98 + 60, 0x200); // SizeOfHeaders
    PutLittle32(image, 0x98 + 108, 16);
    PutLittle32(image, StubSecurityEntry, 0);
    PutLittle32(image, StubSecurityEntry + 4, 0);
    return image;
}
