#pragma once
// Reads what an installer built by mksetup must inflate: the compressed
// payload section and, from the command script, the pieces inside it.
#include <cstdint>
#include <string>
#include <vector>

// The data of the first section with this name in file, or false.
bool FindNamedSection(const std::string& file, const std::string& name, std::string& data);

struct TPiece {
    std::uint64_t OrigLen = 0;
    std::uint64_t ComprLen = 0; // 0: stored
};

// The pieces of the "save" and "saveifnotexists" lines of a script, in order;
// false with a message for a line whose sizes are missing or no numbers.
bool ScriptPieces(const std::string& script, std::vector<TPiece>& pieces, std::string& message);

// Inflates a whole zlib stream into out (reserving expectedSize first);
// false when the data is no complete zlib stream.
bool InflateWhole(const char* data, std::size_t size, std::size_t expectedSize, std::string& out);
inline bool InflateWhole(const std::string& data, std::size_t expectedSize, std::string& out)
{
    return InflateWhole(data.data(), data.size(), expectedSize, out);
}
