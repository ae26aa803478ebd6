#include "util/file_replace.h"

#include <algorithm>
#include <vector>

#include "util/case_key.h"

namespace {

std::string FolderOf(const std::string& path)
{
    const std::size_t separator = path.find_last_of("\\/");
    return separator == std::string::npos ? std::string() : path.substr(0, separator);
}

// Each folder is searched once per process: leftovers only come from a run
// interrupted before this one started. Only the writing thread begins writes.
void RemoveLeftoversOnce(const std::string& folder)
{
    static std::vector<std::string> searched; // sorted
    std::string key = CaseInsensitiveKey(folder);
    const auto place = std::lower_bound(searched.begin(), searched.end(), key);
    if (place != searched.end() && *place == key) return;
    searched.insert(place, std::move(key));
    RemoveTemporaryLeftovers(folder);
}

} // namespace

void RemoveTemporaryLeftovers(const std::string& folder)
{
    const std::string prefix = folder.empty() ? std::string() : folder + "\\";
    WIN32_FIND_DATAA record;
    HANDLE search = FindFirstFileA((prefix + "*" + TemporarySuffix).c_str(), &record);
    if (search == INVALID_HANDLE_VALUE) return;
    const std::string suffix = TemporarySuffix;
    do {
        const std::string name = record.cFileName;
        // The pattern also matches short (8.3) names; only the long name counts.
        if ((record.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 && name.size() > suffix.size() &&
            CaseInsensitiveKey(name.substr(name.size() - suffix.size())) == CaseInsensitiveKey(suffix))
            DeleteFileA((prefix + name).c_str());
    } while (FindNextFileA(search, &record));
    FindClose(search);
}

DWORD BeginFileWrite(const std::string& path, TFileWrite& write)
{
    write = TFileWrite();
    write.Path = path;
    // A new file costs one look-up of its name (under Wine a scan of its folder).
    write.File.reset(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (write.File) return ERROR_SUCCESS;
    const DWORD refused = GetLastError();
    if (refused != ERROR_FILE_EXISTS && refused != ERROR_ALREADY_EXISTS) return refused;
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return GetLastError();
    if (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)) return ERROR_ACCESS_DENIED;
    RemoveLeftoversOnce(FolderOf(path));
    write.Replacing = true;
    write.File.reset(CreateFileA(TemporaryNameOf(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL, nullptr));
    return write.File ? ERROR_SUCCESS : GetLastError();
}

DWORD FinishFileWrite(HANDLE file, const std::string& path, bool replacing)
{
    const std::string written = replacing ? TemporaryNameOf(path) : path;
    // A replacement's bytes reach the disk before it takes the name, so that
    // a power cut after the move cannot leave the name on unwritten data. A
    // new file has no earlier contents to lose and is not waited for.
    DWORD error = !replacing || FlushFileBuffers(file) ? ERROR_SUCCESS : GetLastError();
    if (!CloseHandle(file) && error == ERROR_SUCCESS) error = GetLastError();
    if (error == ERROR_SUCCESS && replacing &&
        !MoveFileExA(written.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        error = GetLastError();
    if (error != ERROR_SUCCESS) DeleteFileA(written.c_str());
    return error;
}

DWORD FinishFileWrite(TFileWrite& write)
{
    return FinishFileWrite(write.File.release(), write.Path, write.Replacing);
}

void AbandonFileWrite(TFileWrite& write)
{
    if (!write.File) return;
    write.File.reset();
    DeleteFileA((write.Replacing ? TemporaryNameOf(write.Path) : write.Path).c_str());
}

DWORD WriteFileSafely(const std::string& path, const char* data, std::size_t size)
{
    TFileWrite write;
    DWORD error = BeginFileWrite(path, write);
    if (error != ERROR_SUCCESS) return error;
    DWORD done = 0;
    if (size > MAXDWORD) {
        error = ERROR_FILE_TOO_LARGE;
    } else if (size > 0 && (!WriteFile(write.File.get(), data, static_cast<DWORD>(size), &done, nullptr) ||
                            done != size)) {
        error = GetLastError();
        if (error == ERROR_SUCCESS) error = ERROR_DISK_FULL; // a short write
    }
    if (error != ERROR_SUCCESS) {
        AbandonFileWrite(write);
        return error;
    }
    return FinishFileWrite(write);
}
