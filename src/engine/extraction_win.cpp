#include "engine/extraction.h"

#include <windows.h>

#include <unordered_map>

#include "container/zlib_wrapper.h"
#include "engine/engine_state.h"
#include "engine/folders.h"
#include "engine/placeholders.h"
#include "util/ansi_strings.h"
#include "util/case_key.h"
#include "util/win_handles.h"

namespace {

bool FileExists(const std::string& path)
{
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

// The piece of one command: stored (OrigLen bytes) or compressed (ComprLen
// bytes of one zlib stream). False after adding the error.
bool CutPiece(const TParams& params, TPayload& payload, const std::string& name, std::string& piece)
{
    const std::int32_t origLen = TextToIntOrMinusOne(ParamValue(params, "OrigLen"));
    if (origLen <= 0) {
        AddError("OrigLen is 0 in " + name);
        return false;
    }
    const std::string comprText = ParamValue(params, "ComprLen");
    if (comprText.empty()) {
        if (PayloadBytesLeft(payload) < static_cast<std::uint64_t>(origLen)) {
            DropPayload(payload); // what is left is consumed, and not held for nothing
            AddError("data error in " + name);
            return false;
        }
        piece = TakePayloadPiece(payload, static_cast<std::size_t>(origLen));
        if (piece.size() < static_cast<std::size_t>(origLen)) {
            AddError("data error in " + name);
            return false;
        }
        return true;
    }
    const std::int32_t comprLen = TextToIntOrMinusOne(comprText);
    if (comprLen <= 0) {
        AddError("ComprLen is 0 in " + name);
        return false;
    }
    if (PayloadBytesLeft(payload) < static_cast<std::uint64_t>(comprLen)) {
        DropPayload(payload);
        AddError("data error in " + name);
        return false;
    }
    piece = TakePayloadPiece(payload, static_cast<std::size_t>(comprLen));
    if (piece.size() < static_cast<std::size_t>(comprLen)) {
        AddError("data error in " + name);
        return false;
    }
    // A piece that is no zlib stream raises here; the run does not catch it.
    piece = DecompressString(piece);
    if (piece.empty()) {
        AddError("decompress error in " + name);
        return false;
    }
    return true;
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

} // namespace

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
    std::string piece;
    if (!CutPiece(params, payload, name, piece)) return false;
    // The payload has moved on already, so a kept file does not shift the next piece.
    const bool result = (keepExisting && FileExists(name)) ? true : WriteWholeFile(name, piece);
    if (Engine.MainProgram.empty() && LowerCaseExtension(name) == ".exe") Engine.MainProgram = name;
    return result;
}

bool WriteWholeFile(const std::string& path, const std::string& data)
{
    EnsureFolder(FolderPartOf(path)); // a failure shows when the file cannot be created
    // Windows refuses to truncate a read-only file; Wine run by root would not,
    // so the attribute is asked first.
    const DWORD attributes = GetFileAttributesA(path.c_str());
    const bool readOnly = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0;
    FileHandle file;
    if (!readOnly)
        file.reset(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                               nullptr));
    if (!file) {
        AddError("Write Error: " + path);
        return false;
    }
    bool written = true;
    if (!data.empty()) {
        DWORD done = 0;
        written = data.size() <= MAXDWORD &&
                  WriteFile(file.get(), data.data(), static_cast<DWORD>(data.size()), &done, nullptr) &&
                  done == data.size();
    }
    file.reset();
    if (!written) {
        AddError("Write Error: " + path);
        return false;
    }
    RecordWrittenSize(path, data.size());
    Engine.WrittenFiles.push_back(path);
    return true;
}
