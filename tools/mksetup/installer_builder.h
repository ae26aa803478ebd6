#pragma once
// Turns a read package into installer bytes: the stub's program image, then
// the begin marker, the language file, the command script and the payload.
#include <cstddef>
#include <functional>
#include <string>

#include "mksetup/package_reader.h"

struct BuildSettings {
    int Level = 12;             // libdeflate level, 1 to 12
    int Jobs = 1;               // compression threads
    bool CompareWithZlib = false; // also measure zlib level 9 on the same streams
    std::function<void(std::size_t, std::size_t)> Progress; // pieces done, total
};

struct BuildResult {
    std::string Bytes;
    std::size_t ImageSize = 0;
    std::size_t PieceCount = 0;
    std::size_t CompressedPieces = 0;
    std::size_t PayloadSize = 0;        // decompressed
    std::size_t PayloadSectionSize = 0; // compressed, as carried
    std::size_t ScriptSectionSize = 0;
    // With CompareWithZlib: the installer's size had every stream been made
    // with zlib level 9 (same stored/compressed rule).
    std::size_t ZlibInstallerSize = 0;
};

// stubBytes: the program that becomes the installer; whatever it carries
// behind a begin marker is dropped. languageData: the section's data (see
// LanguageSectionData), empty for none.
BuildResult BuildInstaller(const Package& package, const std::string& stubBytes, const std::string& languageData,
                           const BuildSettings& settings);
