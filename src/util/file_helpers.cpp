#include "util/file_helpers.h"

#include <new>

bool ReadFileStart(const std::string& fileName, std::int64_t limit, std::string& data)
{
    data.clear();
    const std::int64_t size = QueryFileSize(fileName);
    if (size <= 0 || size >= (std::int64_t(1) << 31)) return false;
    const std::int64_t wanted = (limit > 0 && limit < size) ? limit : size;
    try {
        data.reserve(static_cast<std::size_t>(wanted));
    } catch (const std::bad_alloc&) {
        return false;
    }
    if (!ReadFileBytes(fileName, static_cast<std::size_t>(wanted), data)) {
        data.clear();
        return false;
    }
    return true;
}

bool ReadWholeFile(const std::string& fileName, std::string& data)
{
    return ReadFileStart(fileName, 0, data);
}

// The platform gives ReadFilePartInto; the string form is the same on both.
bool ReadFilePart(const std::string& fileName, std::uint64_t offset, std::size_t count, std::string& data)
{
    data.clear();
    try {
        data.resize(count);
    } catch (const std::bad_alloc&) {
        return false;
    }
    std::size_t done = 0;
    if (!ReadFilePartInto(fileName, offset, count > 0 ? &data[0] : nullptr, count, done)) {
        data.clear();
        return false;
    }
    data.resize(done);
    return true;
}
