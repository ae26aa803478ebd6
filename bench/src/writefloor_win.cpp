// writefloor: the least an installer must do on this system: create the
// folders and write the files of a payload that is already in memory, with
// nothing decompressed and nothing recorded.
//   writefloor SOURCE_DIR TARGET_DIR   reads SOURCE_DIR into memory, then
//                                      writes the same tree below TARGET_DIR
//   writefloor --baseline              starts and ends (process start cost)
// Prints one JSON line; the write phase is timed inside the process. Exit 0,
// 2 for bad arguments, 3 when a file cannot be read, 4 when one cannot be written.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <set>
#include <string>
#include <vector>

namespace {

struct TFileData {
    std::string RelativePath; // '\' between folders
    std::string Data;
};

// Closes a Win32 file or search handle when it goes out of scope.
class TScopedHandle {
public:
    TScopedHandle(HANDLE handle, bool search) : handle_(handle), search_(search) {}
    ~TScopedHandle()
    {
        if (handle_ == INVALID_HANDLE_VALUE) return;
        if (search_) FindClose(handle_);
        else CloseHandle(handle_);
    }
    TScopedHandle(const TScopedHandle&) = delete;
    TScopedHandle& operator=(const TScopedHandle&) = delete;
    HANDLE get() const { return handle_; }
    bool valid() const { return handle_ != INVALID_HANDLE_VALUE; }

private:
    HANDLE handle_;
    bool search_;
};

bool ReadWholeFile(const std::string& path, std::string& data)
{
    TScopedHandle file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                   FILE_FLAG_SEQUENTIAL_SCAN, nullptr),
                       false);
    if (!file.valid()) return false;
    LARGE_INTEGER size;
    if (!GetFileSizeEx(file.get(), &size)) return false;
    data.resize(static_cast<std::size_t>(size.QuadPart));
    std::size_t done = 0;
    while (done < data.size()) {
        DWORD got = 0;
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(data.size() - done, 1u << 30));
        if (!ReadFile(file.get(), &data[done], chunk, &got, nullptr) || got == 0) return false;
        done += got;
    }
    return true;
}

bool CollectFiles(const std::string& root, const std::string& relative, std::vector<TFileData>& files)
{
    WIN32_FIND_DATAA found;
    const std::string folder = relative.empty() ? root : root + "\\" + relative;
    TScopedHandle search(FindFirstFileA((folder + "\\*").c_str(), &found), true);
    if (!search.valid()) return false;
    do {
        const std::string name = found.cFileName;
        if (name == "." || name == "..") continue;
        const std::string child = relative.empty() ? name : relative + "\\" + name;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            if (!CollectFiles(root, child, files)) return false;
        } else {
            files.push_back({child, std::string()});
            if (!ReadWholeFile(root + "\\" + child, files.back().Data)) return false;
        }
    } while (FindNextFileA(search.get(), &found));
    return true;
}

// Creates every folder of the path below target once; the set remembers the
// folders made so far, as an installer's folder list would.
void EnsureFolders(const std::string& target, const std::string& relativeFile, std::set<std::string>& made)
{
    for (std::size_t at = relativeFile.find('\\'); at != std::string::npos; at = relativeFile.find('\\', at + 1)) {
        const std::string folder = target + "\\" + relativeFile.substr(0, at);
        if (made.insert(folder).second) CreateDirectoryA(folder.c_str(), nullptr);
    }
}

bool WriteWholeFile(const std::string& path, const std::string& data)
{
    TScopedHandle file(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                   nullptr),
                       false);
    if (!file.valid()) return false;
    std::size_t done = 0;
    while (done < data.size()) {
        DWORD wrote = 0;
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(data.size() - done, 1u << 30));
        if (!WriteFile(file.get(), data.data() + done, chunk, &wrote, nullptr) || wrote == 0) return false;
        done += wrote;
    }
    return true;
}

double Now()
{
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    return static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 2 && std::string(argv[1]) == "--baseline") {
        std::printf("{\"baseline\": true}\n");
        return 0;
    }
    if (argc != 3) {
        std::fprintf(stderr, "usage: writefloor SOURCE_DIR TARGET_DIR | writefloor --baseline\n");
        return 2;
    }
    const std::string source = argv[1], target = argv[2];

    const double readStart = Now();
    std::vector<TFileData> files;
    if (!CollectFiles(source, "", files)) {
        std::fprintf(stderr, "writefloor: cannot read %s\n", source.c_str());
        return 3;
    }
    const double readSeconds = Now() - readStart;

    const double writeStart = Now();
    CreateDirectoryA(target.c_str(), nullptr);
    std::set<std::string> made;
    unsigned long long bytes = 0;
    for (const TFileData& file : files) {
        EnsureFolders(target, file.RelativePath, made);
        if (!WriteWholeFile(target + "\\" + file.RelativePath, file.Data)) {
            std::fprintf(stderr, "writefloor: cannot write %s\n", file.RelativePath.c_str());
            return 4;
        }
        bytes += file.Data.size();
    }
    const double writeSeconds = Now() - writeStart;
    std::printf("{\"files\": %zu, \"bytes\": %llu, \"folders\": %zu, \"read_s\": %.4f, \"write_s\": %.4f}\n",
                files.size(), bytes, made.size() + 1, readSeconds, writeSeconds);
    return 0;
}
