#include "engine/upgrade_check.h"

#include <windows.h>

#include <atomic>
#include <memory>
#include <unordered_map>

#include "container/sections.h"
#include "engine/commands.h"
#include "engine/engine_state.h"
#include "engine/folders.h"
#include "engine/piece_prefetch.h"
#include "engine/placeholders.h"
#include "engine/run_log.h"
#include "util/case_key.h"
#include "util/worker_thread.h"
#include "util/win_handles.h"

namespace {

// Files handed out one at a time to whichever thread is free.
struct THashJobs {
    const std::vector<std::string>& Paths;
    std::vector<TSha256>& Digests;
    std::vector<char>& Hashed;
    std::atomic<std::size_t> Next;
};

struct TJobHasher {
    TFileHasher Hasher;
    void HashWhileLeft(THashJobs& jobs)
    {
        unsigned long error = 0;
        for (std::size_t i; (i = jobs.Next.fetch_add(1)) < jobs.Paths.size();)
            jobs.Hashed[i] = Hasher.HashFile(jobs.Paths[i], jobs.Digests[i], error) ? 1 : 0;
    }
};

void HashSome(void* context)
{
    TJobHasher own; // a hash handle of its own
    own.HashWhileLeft(*static_cast<THashJobs*>(context));
}

class TFileSystemProbe : public TTargetProbe {
public:
    bool Exists(const std::string& path, std::uint64_t& size) override
    {
        // A fresh installation asks once per folder, not once per file.
        const std::string folder = FolderPartOf(path);
        const auto known = folders_.emplace(CaseInsensitiveKey(folder), false);
        if (known.second) {
            const DWORD attributes = GetFileAttributesA(folder.c_str());
            known.first->second = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
        }
        if (!known.first->second) return false;
        WIN32_FILE_ATTRIBUTE_DATA data;
        if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data) ||
            (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            return false;
        size = (std::uint64_t(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
        return true;
    }

    // Reading and hashing (about half of it in the system's SHA-256) is the
    // whole work of an unchanged reinstall: a helper thread takes files too.
    void HashFiles(const std::vector<std::string>& paths, std::vector<TSha256>& digests,
                   std::vector<char>& hashed) override
    {
        THashJobs jobs{paths, digests, hashed, {0}};
        WorkerThread helper;
        const bool started = paths.size() > 1 && helper.Start(HashSome, &jobs);
        // The system's hashing is loaded only when a file is there to compare:
        // a fresh installation does without it.
        if (!hasher_) hasher_ = std::make_unique<TJobHasher>();
        hasher_->HashWhileLeft(jobs);
        if (started) helper.Join();
    }

    unsigned long Replaceable(const std::string& path) override
    {
        // Windows refuses to replace a read-only file; Wine run by root would not.
        const DWORD attributes = GetFileAttributesA(path.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) return ERROR_ACCESS_DENIED;
        // Opening changes nothing: no truncation, and the times stay.
        FileHandle file(CreateFileA(path.c_str(), GENERIC_WRITE | DELETE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
        return file ? ERROR_SUCCESS : GetLastError();
    }

    bool FreeBytes(const std::string& volume, std::uint64_t& bytes) override
    {
        ULARGE_INTEGER available;
        if (!GetDiskFreeSpaceExA(volume.c_str(), &available, nullptr, nullptr)) return false;
        bytes = available.QuadPart;
        return true;
    }

private:
    std::unique_ptr<TJobHasher> hasher_;
    std::unordered_map<std::string, bool> folders_;
};

} // namespace

bool CheckBeforeFirstWrite(const std::vector<std::string>& lines, std::size_t first, TPayload& payload)
{
    // A placeholder without a value is reported when its line runs, not twice.
    const std::string errors = Engine.ErrorText;
    const std::vector<TPlannedFile> files = PlannedFilesOf(lines, first, ExpandPlaceholders, OwnImagePart.size());
    Engine.ErrorText = errors;
    TFileSystemProbe probe;
    const TCheckResult result = CheckPlannedFiles(files, probe);
    SetUnchangedFiles(result.Unchanged);
    if (result.FailedPath.empty()) {
        if (payload.Prefetch) payload.Prefetch->SkipPieces(result.UnchangedPieces);
        return true;
    }
    // Logged with its reason, and counted for the exit code (in use, disk full).
    NoteWriteFailure(result.FailedPath, result.Error);
    AddError("Write Error: " + result.FailedPath);
    return false;
}
