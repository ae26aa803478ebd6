#include "mksetup/mapped_file.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

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
    if (file.Fd < 0 || ftruncate(file.Fd, static_cast<off_t>(size)) != 0)
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
