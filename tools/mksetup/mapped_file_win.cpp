#include "mksetup/mapped_file.h"

#include <windows.h>

#include "mksetup/tool_error.h"
#include "util/win_handles.h"

struct MappedFile::Mapping {
    void* Address = nullptr;
    std::uint64_t Size = 0;
    ~Mapping()
    {
        if (Address) UnmapViewOfFile(Address);
    }
};

namespace {

std::string ErrorCode()
{
    return "error " + std::to_string(GetLastError());
}

// The view of the whole file (size bytes); the file grows to size when
// writable. Null on failure.
void* MapWhole(HANDLE file, std::uint64_t size, bool writable)
{
    const FileHandle section(CreateFileMappingA(file, nullptr, writable ? PAGE_READWRITE : PAGE_READONLY,
                                                static_cast<DWORD>(size >> 32), static_cast<DWORD>(size), nullptr));
    if (!section) return nullptr;
    return MapViewOfFile(section.get(), writable ? FILE_MAP_WRITE : FILE_MAP_READ, 0, 0, static_cast<SIZE_T>(size));
}

} // namespace

MappedFile MappedFile::ForReading(const std::string& fileName)
{
    const FileHandle file(CreateFileA(fileName.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                      FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    LARGE_INTEGER size{};
    if (!file || !GetFileSizeEx(file.get(), &size))
        throw ToolError(ExitBadInput, "cannot read " + fileName + ": " + ErrorCode());
    auto mapping = std::make_unique<Mapping>();
    mapping->Size = static_cast<std::uint64_t>(size.QuadPart);
    if (mapping->Size == 0) return MappedFile(std::move(mapping));
    mapping->Address = MapWhole(file.get(), mapping->Size, false);
    if (!mapping->Address) throw ToolError(ExitBadInput, "cannot map " + fileName + ": " + ErrorCode());
    return MappedFile(std::move(mapping));
}

MappedFile MappedFile::ForWriting(const std::string& fileName, std::uint64_t size)
{
    const FileHandle file(CreateFileA(fileName.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) throw ToolError(ExitWriteFailed, "cannot write " + fileName + ": " + ErrorCode());
    auto mapping = std::make_unique<Mapping>();
    mapping->Size = size;
    if (size == 0) return MappedFile(std::move(mapping));
    mapping->Address = MapWhole(file.get(), size, true);
    if (!mapping->Address) throw ToolError(ExitWriteFailed, "cannot map " + fileName + ": " + ErrorCode());
    return MappedFile(std::move(mapping));
}

void MappedFile::Release() const
{
    // Unlocking pages that are not locked takes them out of the working set;
    // the call then reports ERROR_NOT_LOCKED, which is what is expected.
    if (mapping_->Address) VirtualUnlock(mapping_->Address, static_cast<SIZE_T>(mapping_->Size));
}

char* MappedFile::Data() const
{
    return static_cast<char*>(mapping_->Address);
}

MappedFile::MappedFile(std::unique_ptr<Mapping> mapping) : mapping_(std::move(mapping)) {}
MappedFile::MappedFile(MappedFile&&) noexcept = default;
MappedFile& MappedFile::operator=(MappedFile&&) noexcept = default;
MappedFile::~MappedFile() = default;

std::uint64_t MappedFile::Size() const
{
    return mapping_->Size;
}
