#pragma once
// Turns a read package into an installer file: the stub's program image, then
// the begin marker, the language file, the command script and the payload.
// Files are read and compressed one by one and the payload goes through a
// spool file beside the output, so memory stays bounded by the largest files
// in flight, whatever the size of the product.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "mksetup/package_reader.h"

struct BuildSettings {
    // The payload section: one solid xz stream (LZMA2) whose pieces are
    // stored, or the zlib stream of compressed and stored pieces.
    bool Solid = true;
    int Level = 12;             // libdeflate level, 1 to 12 (LZMA2: 10 and above are preset 9, nice 128)
    int Jobs = 1;               // compression threads
    bool CompareWithZlib = false; // also measure zlib level 9 on the same streams
    std::function<void(std::size_t, std::size_t)> Progress; // pieces done, total
    // Up to this size the written installer is read back and checked whole;
    // above, only its payload stream, piece by piece.
    std::uint64_t WholeCheckLimit = 64ull << 20;
};

struct BuildResult {
    std::uint64_t InstallerSize = 0;
    std::size_t ImageSize = 0;
    std::size_t PieceCount = 0;
    std::size_t CompressedPieces = 0;
    std::uint64_t PayloadSize = 0;        // decompressed
    std::uint64_t PayloadSectionSize = 0; // compressed, as carried
    std::size_t ScriptSectionSize = 0;
    // With CompareWithZlib: the installer's size had every stream been made
    // with zlib level 9 (same stored/compressed rule).
    std::uint64_t ZlibInstallerSize = 0;
};

// The program image a stub gives: whatever it carries behind a begin marker is
// dropped and a security entry cleared. Throws ToolError(ExitBadInput) when
// it is no Windows program (no valid PE header, or its raw data cut off).
std::string StubImage(const std::string& stubBytes);

// Writes the installer to outputFile whole or not at all (a failure leaves an
// older file as it was). languageData: the section's data (see
// LanguageSectionData), empty for none. Throws ToolError.
BuildResult BuildInstaller(const Package& package, const std::string& stubBytes, const std::string& languageData,
                           const BuildSettings& settings, const std::string& outputFile);
