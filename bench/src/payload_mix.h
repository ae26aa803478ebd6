#pragma once
// The benchmark payload: which files, how large and of which kind, chosen
// from a seed. Planning is separate from writing so that the plan can be
// checked without touching the disk.
#include <cstdint>
#include <string>
#include <vector>

enum class TContentKind {
    Text,       // compressible, text-like (prose, tables, markup)
    Random,     // already compressed: incompressible bytes
    Structured, // binary with structure (records, zero runs): compresses about in half
};

enum class TFileGroup { Text, Binary, Small };

struct TPlannedFile {
    std::string Path; // relative, '/' between folders
    std::uint64_t Size = 0;
    TContentKind Kind = TContentKind::Text;
    TFileGroup Group = TFileGroup::Text;
    std::uint64_t Seed = 0;
};

struct TPayloadPlan {
    std::vector<TPlannedFile> Files;
    std::uint64_t TotalBytes = 0;
};

// Shares of the total size, in percent, and the size ranges of each group.
struct TMixRules {
    unsigned TextPercent = 40;
    unsigned BinaryPercent = 30; // the rest are small files
    std::uint64_t TextMin = 1000, TextMax = 5000000;
    std::uint64_t BinaryMin = 100000, BinaryMax = 20000000;
    std::uint64_t SmallMin = 200, SmallMax = 20000;
    unsigned SmallFilesPerFolder = 40;
};

// The payload of totalBytes (at least 1 MB) from seed. The first file is the
// main program "Program.exe" at the top (an installer needs one). Paths are
// unique without regard to letter case and valid on Windows; some hold blanks
// and commas.
TPayloadPlan PlanPayload(std::uint64_t seed, std::uint64_t totalBytes, const TMixRules& rules = TMixRules());

// A size between low and high, spread evenly over the powers of two (so small
// and large files both occur), computed with integers only.
std::uint64_t LogSpreadSize(std::uint64_t randomBits, std::uint64_t low, std::uint64_t high);
