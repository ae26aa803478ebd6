#include "mksetup/mapped_file.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "mksetup/output_file.h"
#include "mksetup/tool_error.h"

struct MappedFile::Mapping {
    void* Address = MAP_FAILED;
    std::uint64_t Size = 0;
    ~Mapping()
    {
        if (Address != MAP_FAILED) munmap(Address, Size);
    }
};

namespace {

struct Descriptor {
    int Fd;
    ~Descriptor()
    {
        if (Fd >= 0) close(Fd);
    }
};

std::string SystemMessage()
{
    return std::strerror(errno);
}

// Takes the room of the file's first size bytes on disk, so that no write
// through a mapping finds the disk full.
void Reserve(int fd, const std::string& fileName, std::uint64_t size)
{
    struct stat info {};
    if (fstat(fd, &info) != 0) throw ToolError(ExitWriteFailed, "cannot write " + fileName + ": " + SystemMessage());
    const std::uint64_t held = static_cast<std::uint64_t>(info.st_blocks) * 512;
    const std::uint64_t free = FreeDiskBytes(fileName);
    const int status = posix_fallocate(fd, 0, static_cast<off_t>(size));
    if (status == ENOSPC || status == EDQUOT) throw DiskFullError(fileName, size > held + free ? size - held - free : 0);
    if (status != 0) throw ToolError(ExitWriteFailed, "cannot write " + fileName + ": " + std::strerror(status));
}

} // namespace

MappedFile MappedFile::ForReading(const std::string& fileName)
{
    const Descriptor file{open(fileName.c_str(), O_RDONLY | O_CLOEXEC)};
    struct stat info {};
    if (file.Fd < 0 || fstat(file.Fd, &info) != 0)
        throw ToolError(ExitBadInput, "cannot read " + fileName + ": " + SystemMessage());
    auto mapping = std::make_unique<Mapping>();
    mapping->Size = static_cast<std::uint64_t>(info.st_size);
    if (mapping->Size == 0) return MappedFile(std::move(mapping));
    mapping->Address = mmap(nullptr, mapping->Size, PROT_READ, MAP_SHARED, file.Fd, 0);
    if (mapping->Address == MAP_FAILED)
        throw ToolError(ExitBadInput, "cannot map " + fileName + ": " + SystemMessage());
    madvise(mapping->Address, mapping->Size, MADV_SEQUENTIAL);
    return MappedFile(std::move(mapping));
}

MappedFile MappedFile::ForWriting(const std::string& fileName, std::uint64_t size)
{
    const Descriptor file{open(fileName.c_str(), O_RDWR | O_CLOEXEC)};
    if (file.Fd < 0) throw ToolError(ExitWriteFailed, "cannot write " + fileName + ": " + SystemMessage());
    if (size > 0) Reserve(file.Fd, fileName, size);
    if (ftruncate(file.Fd, static_cast<off_t>(size)) != 0)
        throw ToolError(ExitWriteFailed, "cannot write " + fileName + ": " + SystemMessage());
    auto mapping = std::make_unique<Mapping>();
    mapping->Size = size;
    if (size == 0) return MappedFile(std::move(mapping));
    mapping->Address = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, file.Fd, 0);
    if (mapping->Address == MAP_FAILED)
        throw ToolError(ExitWriteFailed, "cannot map " + fileName + ": " + SystemMessage());
    return MappedFile(std::move(mapping));
}

void MappedFile::Release() const
{
    // On a shared file mapping MADV_DONTNEED only unmaps: written pages stay
    // dirty in the file cache and are written back as usual.
    if (mapping_->Address != MAP_FAILED) madvise(mapping_->Address, mapping_->Size, MADV_DONTNEED);
}

char* MappedFile::Data() const
{
    return mapping_->Address == MAP_FAILED ? nullptr : static_cast<char*>(mapping_->Address);
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
    : fileName_(fileName), handle_(open(fileName.c_str(), O_WRONLY | O_CLOEXEC | (create ? O_CREAT | O_TRUNC : 0), 0666))
{
    if (handle_ < 0) throw ToolError(ExitWriteFailed, "cannot write " + fileName + ": " + SystemMessage());
    if (!create) end_ = static_cast<std::uint64_t>(lseek(static_cast<int>(handle_), 0, SEEK_END));
}

FileWriter::~FileWriter()
{
    if (handle_ >= 0) close(static_cast<int>(handle_));
}

void FileWriter::WriteAt(std::uint64_t offset, const char* data, std::size_t size)
{
    while (size > 0) {
        const ssize_t written = pwrite(static_cast<int>(handle_), data, size, static_cast<off_t>(offset));
        if (written < 0 && errno == EINTR) continue;
        if (written < 0 && errno != ENOSPC && errno != EDQUOT)
            throw ToolError(ExitWriteFailed, "cannot write " + fileName_ + ": " + SystemMessage());
        if (written <= 0) throw DiskFullError(fileName_, size);
        data += written;
        size -= static_cast<std::size_t>(written);
        offset += static_cast<std::uint64_t>(written);
    }
    end_ = std::max(end_, offset);
}

void FileWriter::Close()
{
    const int fd = static_cast<int>(handle_);
    handle_ = -1;
    if (close(fd) != 0) {
        if (errno == ENOSPC || errno == EDQUOT) throw DiskFullError(fileName_, 0);
        throw ToolError(ExitWriteFailed, "cannot write " + fileName_ + ": " + SystemMessage());
    }
}
