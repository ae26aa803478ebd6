#pragma once
// The payload section's stream, made from the spooled payload file without
// holding either in the packer's memory.
#include <cstdint>
#include <string>

// Compresses the whole of inputFile into outputFile behind its first offset
// bytes, cuts outputFile behind the stream and returns the stream's size. The
// bytes are those of one libdeflate call on the whole input. Throws ToolError.
std::uint64_t DeflateFileInto(const std::string& inputFile, const std::string& outputFile, std::uint64_t offset,
                              int level);

// True when the zlib stream of length bytes at offset in file inflates,
// checksum included, to exactly the bytes of expectedFile.
bool StreamInflatesTo(const std::string& file, std::uint64_t offset, std::uint64_t length,
                      const std::string& expectedFile);
