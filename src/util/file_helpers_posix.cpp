#include "util/file_helpers.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <memory>
#include <new>

std::int64_t QueryFileSize(const std::string& fileName)
{
    if (fileName.empty()) return -1;
    struct stat info;
    if (stat(fileName.c_str(), &info) != 0) return -1;
    return static_cast<std::int64_t>(info.st_size);
}

bool ReadFileBytes(const std::string& fileName, std::size_t count, std::string& data)
{
    data.clear();
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(fileName.c_str(), "rb"), &std::fclose);
    if (!file) return false;
    try {
        data.resize(count);
    } catch (const std::bad_alloc&) {
        return false;
    }
    if (std::fread(data.data(), 1, count, file.get()) != count) {
        data.clear();
        return false;
    }
    return true;
}

bool ReadFilePartInto(const std::string& fileName, std::uint64_t offset, char* buffer, std::size_t count,
                      std::size_t& done)
{
    done = 0;
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(fileName.c_str(), "rb"), &std::fclose);
    if (!file || fseeko(file.get(), static_cast<off_t>(offset), SEEK_SET) != 0) return false;
    done = std::fread(buffer, 1, count, file.get());
    return !(done < count && std::ferror(file.get()));
}

std::string OwnExecutablePath()
{
    std::string path(4096, '\0');
    const ssize_t length = readlink("/proc/self/exe", path.data(), path.size());
    if (length <= 0) return std::string();
    path.resize(static_cast<std::size_t>(length));
    return path;
}
