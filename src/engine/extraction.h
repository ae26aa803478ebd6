#pragma once
// File extraction: "save" and "saveifnotexists" cut their piece off the front
// of the payload (stored or one zlib stream), and WriteWholeFile writes every
// file the engine installs.
#include <cstddef>
#include <cstdint>
#include <string>

#include "engine/commands.h"

// SaveCommand(params, payload, keepExisting) is declared in commands.h.

// Writes data as the complete new contents of path after ensuring its folder;
// appends path to Engine.WrittenFiles on success, adds "Write Error: " + path
// on failure. newThroughTemporary: a new file, too, takes its name only whole
// (for a file whose existence alone keeps it). Windows builds only.
bool WriteWholeFile(const std::string& path, const std::string& data);
bool WriteWholeFile(const std::string& path, const char* data, std::size_t size, bool newThroughTemporary = false);

// The size WriteWholeFile last wrote at path during this installation (letter
// case ignored); false when it wrote nothing there. Spares asking the file
// system for the size of every written file. Windows builds only.
bool WrittenSizeOf(const std::string& path, std::uint64_t& size);

// Takes path out of Engine.WrittenFiles again, when a file handed to the
// closing threads could not be finished. Windows builds only.
void ForgetWrittenFile(const std::string& path);

// --- portable rules ---

// What cutting one command's piece off the payload gave: the piece, or the
// start of the error text that the file's name completes.
struct TCutPiece {
    std::string Piece;
    std::string ErrorStart; // "data error in " and the like; empty on success
};

// The piece of one "save" command: stored (OrigLen bytes) or compressed
// (ComprLen bytes of one zlib stream, inflated). A compressed piece that is no
// zlib stream raises, as decompressing it does.
TCutPiece CutPiece(const TParams& params, TPayload& payload);

// What a "save" command's items say about its piece.
struct TPieceRequest {
    std::int32_t OrigLen = -1;  // -1 when missing or no number
    std::int32_t ComprLen = -1; // the same; only read when Compressed
    bool Compressed = false;    // a ComprLen item is there
    std::size_t Length() const { return static_cast<std::size_t>(Compressed ? ComprLen : OrigLen); }
};
TPieceRequest PieceRequestOf(const TParams& params);

// The checks before a piece is cut: the start of the error text, or nullptr
// when Length() bytes may be cut. A payload too short is dropped.
const char* PieceRequestError(const TPieceRequest& request, TPayload& payload);

// Cuts up to count bytes off the front of the payload into out; gives how many.
std::size_t TakePayloadPieceInto(TPayload& payload, char* out, std::size_t count);

// Cuts up to count bytes off the front of the payload (fewer when it holds
// fewer); the payload moves on by what was cut.
std::string TakePayloadPiece(TPayload& payload, std::size_t count);

// The bytes the payload still holds.
std::uint64_t PayloadBytesLeft(const TPayload& payload);
// Moves the payload to its end without keeping what it held.
void DropPayload(TPayload& payload);

// The extension of the file-name part, dot included, in lower case; empty
// when the name has no dot.
std::string LowerCaseExtension(const std::string& path);
