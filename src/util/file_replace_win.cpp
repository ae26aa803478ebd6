#include "util/file_replace.h"

#include <algorithm>
#include <vector>

#include "util/case_key.h"

namespace {

// Temporaries are numbered through the process; CREATE_NEW skips a number in use.
unsigned NextTemporary = 0;
const unsigned TemporaryTries = 4096;

std::string FolderOf(const std::string& path)
{
    const std::size_t separator = path.find_last_of("\\/");
    return separator == std::string::npos ? std::string() : path.substr(0, separator);
}

// The folder as a temporary's path begins, its final "\" included. Where the
// folder alone nearly fills MAX_PATH (one not made through CreateDirectoryA),
// its short form, when the volume has one, makes room.
std::string TemporaryFolder(std::string folder)
{
    if (folder.size() + 1 + TemporaryName(0).size() >= MAX_PATH) {
        char shortFolder[MAX_PATH];
        const DWORD length = GetShortPathNameA(folder.c_str(), shortFolder, MAX_PATH);
        if (length > 0 && length < MAX_PATH) folder.assign(shortFolder, length);
    }
    if (!folder.empty()) folder += '\\';
    return folder;
}

// A new, empty temporary beside path, write.Temporary naming it, with the
// attributes the file it replaces has (hidden, system), which the move keeps.
DWORD CreateTemporary(const std::string& path, TFileWrite& write, DWORD attributes)
{
    RemoveTemporaryLeftovers(FolderOf(path));
    const std::string folder = TemporaryFolder(FolderOf(path));
    DWORD error = ERROR_FILE_EXISTS;
    for (unsigned i = 0; i < TemporaryTries && (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS); ++i) {
        write.Temporary = folder + TemporaryName(NextTemporary++);
        write.File.reset(
            CreateFileA(write.Temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, attributes, nullptr));
        if (write.File) return ERROR_SUCCESS;
        error = GetLastError();
    }
    write.Temporary.clear();
    return error;
}

} // namespace

void RemoveTemporaryLeftovers(const std::string& folder)
{
    // Only the writing thread begins writes, so the list needs no lock.
    static std::vector<std::string> searched; // sorted
    std::string key = CaseInsensitiveKey(folder);
    const auto place = std::lower_bound(searched.begin(), searched.end(), key);
    if (place != searched.end() && *place == key) return;
    searched.insert(place, std::move(key));

    const std::string prefix = TemporaryFolder(folder);
    WIN32_FIND_DATAA record;
    HANDLE search = FindFirstFileA((prefix + "~st?????").c_str(), &record);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        // The pattern also matches short (8.3) names and shorter names; only the long name counts.
        if ((record.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 && IsTemporaryName(record.cFileName))
            DeleteFileA((prefix + record.cFileName).c_str());
    } while (FindNextFileA(search, &record));
    FindClose(search);
}

DWORD BeginFileWrite(const std::string& path, TFileWrite& write, bool newThroughTemporary)
{
    write = TFileWrite();
    write.Path = path;
    if (!newThroughTemporary) {
        // A new file costs one look-up of its name (under Wine a scan of its folder).
        write.File.reset(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (write.File) return ERROR_SUCCESS;
        const DWORD refused = GetLastError();
        if (refused != ERROR_FILE_EXISTS && refused != ERROR_ALREADY_EXISTS) return refused;
    }
    DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = GetLastError();
        if (!newThroughTemporary || error != ERROR_FILE_NOT_FOUND) return error;
        attributes = FILE_ATTRIBUTE_NORMAL;
    } else if (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)) {
        return ERROR_ACCESS_DENIED;
    } else {
        write.Replacing = true;
    }
    return CreateTemporary(path, write,
                           attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                                         FILE_ATTRIBUTE_NOT_CONTENT_INDEXED | FILE_ATTRIBUTE_NORMAL));
}

DWORD FinishFileWrite(HANDLE file, const std::string& path, const std::string& temporary, bool replacing)
{
    const bool moving = !temporary.empty();
    // A temporary's bytes reach the disk before it takes the name, so that a
    // power cut after the move cannot leave the name on unwritten data. A file
    // written in place is new, has nothing to lose and is not waited for.
    DWORD error = !moving || FlushFileBuffers(file) ? ERROR_SUCCESS : GetLastError();
    if (!CloseHandle(file) && error == ERROR_SUCCESS) error = GetLastError();
    // A new file's move replaces nothing: a file of that name that appeared meanwhile stays.
    const DWORD move = (replacing ? MOVEFILE_REPLACE_EXISTING : 0) | MOVEFILE_WRITE_THROUGH;
    if (error == ERROR_SUCCESS && moving && !MoveFileExA(temporary.c_str(), path.c_str(), move)) error = GetLastError();
    if (error != ERROR_SUCCESS) DeleteFileA((moving ? temporary : path).c_str());
    return error;
}

DWORD FinishFileWrite(TFileWrite& write)
{
    return FinishFileWrite(write.File.release(), write.Path, write.Temporary, write.Replacing);
}

void AbandonFileWrite(TFileWrite& write)
{
    if (!write.File) return;
    write.File.reset();
    DeleteFileA((write.Temporary.empty() ? write.Path : write.Temporary).c_str());
}

DWORD WriteFileSafely(const std::string& path, const char* data, std::size_t size)
{
    TFileWrite write;
    DWORD error = BeginFileWrite(path, write, true);
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
