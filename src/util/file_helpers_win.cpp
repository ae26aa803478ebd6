#include "util/file_helpers.h"

#include <algorithm>
#include <new>

#include "util/win_handles.h"

bool FindFileInfo(const std::string& fileName, WIN32_FIND_DATAA& record)
{
    ZeroMemory(&record, sizeof(record));
    HANDLE search = FindFirstFileA(fileName.c_str(), &record);
    if (search == INVALID_HANDLE_VALUE) return false;
    FindClose(search);
    return true;
}

std::int64_t QueryFileSize(const std::string& fileName)
{
    if (fileName.empty()) return -1;
    WIN32_FIND_DATAA record;
    if (!FindFileInfo(fileName, record)) return -1;
    return static_cast<std::int64_t>((static_cast<std::uint64_t>(record.nFileSizeHigh) << 32) |
                                     record.nFileSizeLow);
}

bool ReadFileBytes(const std::string& fileName, std::size_t count, std::string& data)
{
    data.clear();
    FileHandle file(CreateFileA(fileName.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    try {
        data.resize(count);
    } catch (const std::bad_alloc&) {
        return false;
    }
    DWORD read = 0;
    if (!ReadFile(file.get(), data.data(), static_cast<DWORD>(count), &read, nullptr) || read != count) {
        data.clear();
        return false;
    }
    return true;
}

bool ReadFilePartInto(const std::string& fileName, std::uint64_t offset, char* buffer, std::size_t count,
                      std::size_t& done)
{
    done = 0;
    FileHandle file(CreateFileA(fileName.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file) return false;
    LARGE_INTEGER position;
    position.QuadPart = static_cast<LONGLONG>(offset);
    if (!SetFilePointerEx(file.get(), position, nullptr, FILE_BEGIN)) return false;
    while (done < count) {
        const DWORD want = static_cast<DWORD>(std::min<std::size_t>(count - done, 1u << 30));
        DWORD read = 0;
        if (!ReadFile(file.get(), buffer + done, want, &read, nullptr)) return false;
        if (read == 0) break; // end of file
        done += read;
    }
    return true;
}

std::string OwnExecutablePath()
{
    std::string path(MAX_PATH, '\0');
    for (;;) {
        const DWORD length = GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) return std::string();
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        path.resize(path.size() * 2);
    }
}
