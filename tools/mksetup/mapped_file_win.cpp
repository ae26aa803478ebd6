#include "mksetup/mapped_file.h"

#include <windows.h>

#include <winioctl.h>

#include <algorithm>

#include "mksetup/output_file.h"
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

bool DiskIsFull(DWORD error)
{
    return error == ERROR_DISK_FULL || error == ERROR_HANDLE_DISK_FULL;
}

// Takes the room of the file's first size bytes on disk, so that no write
// through the view raises an in-page error. A compressed file would take its
// room only as pages are written, so it is made uncompressed first. Where the
// allocation size cannot be set (Wine), the new bytes are written as zeros.
void Reserve(HANDLE file, const std::string& fileName, std::uint64_t size)
{
    BY_HANDLE_FILE_INFORMATION info{};
    if (GetFileInformationByHandle(file, &info) && (info.dwFileAttributes & FILE_ATTRIBUTE_COMPRESSED)) {
        USHORT none = COMPRESSION_FORMAT_NONE;
        DWORD returned = 0;
        DeviceIoControl(file, FSCTL_SET_COMPRESSION, &none, sizeof none, nullptr, 0, &returned, nullptr);
    }
    LARGE_INTEGER current{};
    if (!GetFileSizeEx(file, &current)) throw ToolError(ExitWriteFailed, "cannot write " + fileName + ": " + ErrorCode());
    const std::uint64_t held = static_cast<std::uint64_t>(current.QuadPart);
    if (held >= size) return;
    const std::uint64_t free = FreeDiskBytes(fileName);
    const auto fail = [&](std::uint64_t missing) {
        if (DiskIsFull(GetLastError())) throw DiskFullError(fileName, missing);
        throw ToolError(ExitWriteFailed, "cannot write " + fileName + ": " + ErrorCode());
    };
    FILE_ALLOCATION_INFO allocation{};
    allocation.AllocationSize.QuadPart = static_cast<LONGLONG>(size);
    if (!SetFileInformationByHandle(file, FileAllocationInfo, &allocation, sizeof allocation)) {
        if (DiskIsFull(GetLastError())) fail(size - held > free ? size - held - free : 0);
        const std::string zeros(1 << 20, '\0');
        for (std::uint64_t at = held; at < size;) {
            OVERLAPPED where{};
            where.Offset = static_cast<DWORD>(at);
            where.OffsetHigh = static_cast<DWORD>(at >> 32);
            DWORD written = 0;
            const DWORD count = static_cast<DWORD>(std::min<std::uint64_t>(zeros.size(), size - at));
            if (!WriteFile(file, zeros.data(), count, &written, &where)) fail(size - at);
            at += written;
        }
    }
    LARGE_INTEGER end{};
    end.QuadPart = static_cast<LONGLONG>(size);
    if (!SetFilePointerEx(file, end, nullptr, FILE_BEGIN) || !SetEndOfFile(file)) fail(size - held);
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
    Reserve(file.get(), fileName, size);
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

FileWriter::FileWriter(const std::string& fileName, bool create)
    : fileName_(fileName),
      handle_(reinterpret_cast<std::intptr_t>(CreateFileA(fileName.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                                          create ? CREATE_ALWAYS : OPEN_EXISTING,
                                                          FILE_ATTRIBUTE_NORMAL, nullptr)))
{
    const HANDLE file = reinterpret_cast<HANDLE>(handle_);
    if (file == INVALID_HANDLE_VALUE) throw ToolError(ExitWriteFailed, "cannot write " + fileName + ": " + ErrorCode());
    LARGE_INTEGER size{};
    if (!create && GetFileSizeEx(file, &size)) end_ = static_cast<std::uint64_t>(size.QuadPart);
}

FileWriter::~FileWriter()
{
    const HANDLE file = reinterpret_cast<HANDLE>(handle_);
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
}

void FileWriter::WriteAt(std::uint64_t offset, const char* data, std::size_t size)
{
    const HANDLE file = reinterpret_cast<HANDLE>(handle_);
    while (size > 0) {
        OVERLAPPED at{};
        at.Offset = static_cast<DWORD>(offset);
        at.OffsetHigh = static_cast<DWORD>(offset >> 32);
        const DWORD count = static_cast<DWORD>(std::min<std::size_t>(size, 1u << 30));
        DWORD written = 0;
        if (!WriteFile(file, data, count, &written, &at)) {
            if (DiskIsFull(GetLastError())) throw DiskFullError(fileName_, size);
            throw ToolError(ExitWriteFailed, "cannot write " + fileName_ + ": " + ErrorCode());
        }
        if (written == 0) throw DiskFullError(fileName_, size);
        data += written;
        size -= written;
        offset += written;
    }
    end_ = std::max(end_, offset);
}

void FileWriter::Close()
{
    const HANDLE file = reinterpret_cast<HANDLE>(handle_);
    handle_ = reinterpret_cast<std::intptr_t>(INVALID_HANDLE_VALUE);
    if (!CloseHandle(file)) throw ToolError(ExitWriteFailed, "cannot write " + fileName_ + ": " + ErrorCode());
}
