#pragma once
// The payload section's solid form: one xz stream (LZMA2) over the spooled
// payload, in blocks of a fixed size, the same bytes for any number of
// encoder threads.
#include <cstdint>
#include <string>

struct XzSettings {
    int Level = 12;      // 1 to 12 as for zlib; 10 and above are LZMA2 preset 9, nice 128
    int Threads = 1;     // encoder threads; the output does not depend on them
    // 0: liblzma's own, three times the dictionary (192 MiB at the top
    // levels). Smaller blocks cost size: 32 MiB blocks made 100 MB of program
    // files 10% larger and decoded no faster on two shared cores.
    std::uint64_t BlockSize = 0;
    // The dictionary is no larger than the input (the installer allocates
    // what the stream states); 0 for no limit.
    std::uint64_t InputSize = 0;
};

// Memory the encoder needs for the settings, as liblzma states it.
std::uint64_t XzEncoderMemory(const XzSettings& settings);

// Compresses the whole of inputFile into outputFile behind its first offset
// bytes (written in pieces, the file cut behind the stream) and returns the
// stream's size. Throws ToolError.
std::uint64_t XzFileInto(const std::string& inputFile, const std::string& outputFile, std::uint64_t offset,
                         const XzSettings& settings);

// True when the section of length bytes at offset in file decodes, in either
// form, to exactly the bytes of expectedFile, and ends with the section.
bool SectionDecodesTo(const std::string& file, std::uint64_t offset, std::uint64_t length,
                      const std::string& expectedFile);

// The CRC-32 of length bytes at offset in file; throws ToolError when they
// cannot be read.
std::uint32_t FileCrc(const std::string& file, std::uint64_t offset, std::uint64_t length);

// True when a stub's program image reads the solid form: such a stub knows
// the check item, whose section name stands in its image.
bool StubReadsSolidForm(const std::string& image);
