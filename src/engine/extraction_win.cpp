#include "engine/extraction.h"

#include <windows.h>

#include <unordered_map>

#include "container/zlib_wrapper.h"
#include "engine/deferred_closes.h"
#include "engine/engine_state.h"
#include "engine/exit_codes.h"
#include "engine/folders.h"
#include "engine/piece_prefetch.h"
#include "engine/placeholders.h"
#include "engine/run_log.h"
#include "engine/upgrade_check.h"
#include "util/ansi_strings.h"
#include "util/case_key.h"
#include "util/file_replace.h"
#include "util/win_handles.h"

namespace {

bool FileExists(const std::string& path)
{
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

// What WriteWholeFile wrote: by the hash of the path's CaseInsensitiveKey, the
// entry of WrittenFiles and the size. Only numbers are kept (the paths are in
// WrittenFiles already); a hit is confirmed against WrittenFiles. Started
// afresh with every installation (an empty WrittenFiles).
struct TWrittenSize {
    std::size_t Entry;
    std::uint64_t Size;
};

std::unordered_multimap<std::size_t, TWrittenSize>& WrittenSizes()
{
    static std::unordered_multimap<std::size_t, TWrittenSize> sizes;
    return sizes;
}

TWrittenSize* FindWrittenSize(const std::string& key)
{
    const auto range = WrittenSizes().equal_range(std::hash<std::string>()(key));
    for (auto it = range.first; it != range.second; ++it) {
        const std::size_t entry = it->second.Entry;
        if (entry < Engine.WrittenFiles.size() && CaseInsensitiveKey(Engine.WrittenFiles[entry]) == key)
            return &it->second;
    }
    return nullptr;
}

void RecordWrittenSize(const std::string& path, std::uint64_t size)
{
    if (Engine.WrittenFiles.empty()) WrittenSizes().clear();
    const std::string key = CaseInsensitiveKey(path);
    const TWrittenSize written{Engine.WrittenFiles.size(), size};
    if (TWrittenSize* earlier = FindWrittenSize(key))
        *earlier = written;
    else
        WrittenSizes().emplace(std::hash<std::string>()(key), written);
}

// A file written before in this run is in place (or reported) before the path
// is looked at again: a second write would otherwise race its move, and a kept
// file would not be seen yet. False when finishing a file failed.
bool SettleEarlierWrite(const std::string& path)
{
    return Engine.WrittenFiles.empty() || !FindWrittenSize(CaseInsensitiveKey(path)) || FinishPendingWrites();
}

} // namespace

void ForgetWrittenFile(const std::string& path)
{
    const TWrittenSize* written = FindWrittenSize(CaseInsensitiveKey(path));
    if (!written) return;
    const std::size_t entry = written->Entry;
    Engine.WrittenFiles.erase(Engine.WrittenFiles.begin() + static_cast<std::ptrdiff_t>(entry));
    // The later entries moved up by one; rare enough to renumber them all.
    auto& sizes = WrittenSizes();
    for (auto it = sizes.begin(); it != sizes.end();) {
        if (it->second.Entry == entry) {
            it = sizes.erase(it);
            continue;
        }
        if (it->second.Entry > entry) --it->second.Entry;
        ++it;
    }
}

bool WrittenSizeOf(const std::string& path, std::uint64_t& size)
{
    if (Engine.WrittenFiles.empty()) return false;
    const TWrittenSize* written = FindWrittenSize(CaseInsensitiveKey(path));
    if (!written) return false;
    size = written->Size;
    return true;
}

bool SaveCommand(const TParams& params, TPayload& payload, bool keepExisting)
{
    std::string name = ParamValue(params, "Filename");
    if (name.empty()) {
        AddError("no file name");
        return false;
    }
    name = ExpandPlaceholders(name);
    TCutPiece own;
    TPieceView piece;
    if (payload.Prefetch) {
        piece = payload.Prefetch->Next();
    } else {
        own = CutPiece(params, payload);
        piece.Data = own.Piece.data();
        piece.Size = own.Piece.size();
        if (!own.ErrorStart.empty()) piece.ErrorStart = own.ErrorStart.c_str();
    }
    if (piece.ErrorStart) {
        // Before the first file is written, the damage counts as the installer's.
        if (Engine.WrittenFiles.empty()) NoteFailure(UnattendedInstallerDamaged);
        AddError(piece.ErrorStart + name);
        return false;
    }
    // The payload has moved on already, so a kept file does not shift the next piece.
    // A kept file written earlier in this run counts once it is in place.
    if (keepExisting && !SettleEarlierWrite(name)) return false;
    bool result = true;
    const bool unchanged = !keepExisting && TakeUnchangedFile(name);
    if (piece.Skipped && !unchanged) { // never so: both come from the same check
        AddError("data error in " + name);
        return false;
    }
    if (unchanged) {
        // Its bytes are those of the piece: not written, but removed with the
        // rest, and its folder recorded as a write would.
        EnsureFolder(FolderPartOf(name));
        RunLogFile(name, "unchanged");
        RecordWrittenSize(name, static_cast<std::uint64_t>(PieceRequestOf(params).OrigLen));
        Engine.WrittenFiles.push_back(name);
    } else if (keepExisting && FileExists(name)) {
        RunLogFile(name, "kept");
        Engine.KeptFiles.push_back(name); // the user's now: an earlier list's entry is dropped
    } else {
        result = WriteWholeFile(name, piece.Data, piece.Size, keepExisting);
    }
    if (Engine.MainProgram.empty() && LowerCaseExtension(name) == ".exe") Engine.MainProgram = name;
    return result;
}

bool WriteWholeFile(const std::string& path, const std::string& data)
{
    return WriteWholeFile(path, data.data(), data.size());
}

bool WriteWholeFile(const std::string& path, const char* data, std::size_t size, bool newThroughTemporary)
{
    // A file the closing threads could not finish stops the run here.
    if (!ReportFinishedWrites() || !SettleEarlierWrite(path)) return false;
    EnsureFolder(FolderPartOf(path)); // a failure shows when the file cannot be created
    // A file that exists is written under a temporary name and moved over it,
    // so that an interruption leaves the old file or the new one.
    TFileWrite write;
    if (const DWORD error = BeginFileWrite(path, write, newThroughTemporary)) {
        NoteWriteFailure(path, error);
        AddError("Write Error: " + path);
        return false;
    }
    bool written = true;
    if (size > 0) {
        DWORD done = 0;
        written = size <= MAXDWORD && WriteFile(write.File.get(), data, static_cast<DWORD>(size), &done, nullptr) &&
                  done == size;
    }
    if (!written) {
        const DWORD error = GetLastError();
        NoteWriteFailure(path, error != ERROR_SUCCESS ? error : ERROR_DISK_FULL); // a short write
        AbandonFileWrite(write); // no cut file stays under the target's name
        AddError("Write Error: " + path);
        return false;
    }
    // Closing (and moving into place) goes to the closing threads when they
    // run; a failure there is reported later and takes the path out again.
    HANDLE file = write.File.release();
    if (!DeferFinish(file, path, write.Temporary, write.Replacing)) {
        if (const DWORD error = FinishFileWrite(file, path, write.Temporary, write.Replacing)) {
            NoteWriteFailure(path, error);
            AddError("Write Error: " + path);
            return false;
        }
    }
    RunLogFile(path, "written");
    RecordWrittenSize(path, size);
    Engine.WrittenFiles.push_back(path);
    return true;
}
