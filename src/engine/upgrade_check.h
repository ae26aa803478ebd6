#pragma once
// The check before the first write of a full run. Every target of a "save"
// line that exists is looked at once: a file of another size will be
// replaced; one of the same size is hashed, and when its bytes match the
// line's Hash= it is left alone (the same result decides the check and the
// skip). Every file that will be replaced must be writable and deletable now,
// and each drive must have room for what the run writes there; otherwise
// nothing at all is written. The rules are portable; the file system comes in
// through TTargetProbe.
#include <cstdint>
#include <string>
#include <vector>

#include "engine/command_text.h"
#include "engine/commands.h"
#include "util/file_hash.h"

// One file that a "save" or "saveifnotexists" line writes.
struct TPlannedFile {
    std::string Path;       // placeholders expanded
    std::uint64_t Size = 0; // OrigLen
    bool KeepExisting = false;
    bool HasHash = false;
    TSha256 Hash{};
    std::size_t Piece = NoPiece; // its number among the lines that consume the payload
    static constexpr std::size_t NoPiece = ~std::size_t(0);
};

// The files the piece lines from first on write; lines without a file name or
// size are left out (they fail when they run). The uninstaller that an
// "uninst" line names is replaced at the end of the run: it is planned too,
// of uninstallerSize bytes and without a hash. expand turns a script path
// into a file path.
std::vector<TPlannedFile> PlannedFilesOf(const std::vector<std::string>& lines, std::size_t first,
                                         std::string (*expand)(const std::string&), std::uint64_t uninstallerSize);

// What the check asks the file system.
class TTargetProbe {
public:
    virtual ~TTargetProbe() = default;
    // False when no file is there.
    virtual bool Exists(const std::string& path, std::uint64_t& size) = 0;
    // The digest of each file into digests; hashed[i] false where one cannot be read.
    virtual void HashFiles(const std::vector<std::string>& paths, std::vector<TSha256>& digests,
                           std::vector<char>& hashed) = 0;
    // 0 when the file can be opened for writing and for delete now, else the
    // Win32 error (a sharing violation for a file in use).
    virtual unsigned long Replaceable(const std::string& path) = 0;
    // The bytes this user may still write on the volume; false when unknown.
    virtual bool FreeBytes(const std::string& volume, std::uint64_t& bytes) = 0;
};

struct TCheckResult {
    std::vector<std::string> Unchanged; // CaseInsensitiveKey of each file whose bytes match
    std::vector<std::size_t> UnchangedPieces; // and their piece numbers
    std::string FailedPath;             // the first file that stops the run; empty when none does
    unsigned long Error = 0;            // its Win32 error (ERROR_DISK_FULL when the room is short)
};

TCheckResult CheckPlannedFiles(const std::vector<TPlannedFile>& files, TTargetProbe& probe);

// "X:\" for a drive path, "\\server\share\" for a network path; empty otherwise.
std::string VolumeOf(const std::string& path);

// The files of the last check whose bytes matched: SaveCommand takes each
// once and leaves it as it is.
void SetUnchangedFiles(const std::vector<std::string>& keys);
bool TakeUnchangedFile(const std::string& path);

// Windows: plans the piece lines from first on with the engine's placeholders
// and checks them. On failure logs the first file that stops the run with its
// error, counts that for the exit code (6 in use, 5 disk full), adds
// "Write Error: " and the file, and returns false.
// The pieces of the files left alone are passed over undecoded when the
// payload is prepared ahead.
bool CheckBeforeFirstWrite(const std::vector<std::string>& lines, std::size_t first, TPayload& payload);
