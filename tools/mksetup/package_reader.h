#pragma once
// Reads a package description (*.pkg): a command script whose "save" and
// "saveifnotexists" lines name their file with Source= instead of carrying
// sizes, plus "savedir" lines that stand for one "save" line per file of a
// folder. Every other line is kept as written.
#include <cstdint>
#include <string>
#include <vector>

#include "engine/command_text.h"

struct PackageLine {
    std::string Origin;           // "file.pkg:12", for messages
    bool IsPiece = false;         // a save line whose file goes into the payload
    std::string Text;             // a line kept as written (IsPiece false)
    TParams Items;                // a piece's items, without Source= and Compress=
    std::size_t ActionIndex = 0;  // where the action item stands in Items
    std::string SourceName;       // the file the piece is read from when it is packed
    std::uint64_t Size = 0;       // its size when the package was read (never 0)
    bool MayCompress = true;      // false for Compress=no
};

struct Package {
    std::string FileName;
    std::vector<PackageLine> Lines;
    std::vector<std::string> Warnings;
};

// Throws ToolError(ExitBadInput) with "FILE:LINE: problem" for the first
// problem found.
Package ReadPackage(const std::string& packageFile);

// A piece's file contents as they are now; throws ToolError(ExitBadInput)
// naming the line when the file is gone, unreadable or empty.
std::string ReadPieceData(const PackageLine& piece);

// A piece's script line: its items with OrigLen (and ComprLen for a
// compressed piece) right behind the action, and Hash= with the file's SHA-256
// (when given) at the end, each item quoted where needed. An installer skips a
// file whose bytes on disk have that hash; older installers ignore the item.
std::string PieceScriptLine(const PackageLine& piece, std::size_t origLen, std::size_t comprLen,
                            const std::string& hash = std::string());
