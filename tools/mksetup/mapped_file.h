#pragma once
// A file's bytes seen through memory. libdeflate takes a stream's whole input
// and output at once; for the payload stream both are files mapped into
// memory, so that their bytes live in the system's file cache, which it can
// write back and reuse, and not in the packer's own memory.
#include <cstdint>
#include <memory>
#include <string>

class MappedFile {
public:
    // The whole file, read-only. Throws ToolError(ExitBadInput).
    static MappedFile ForReading(const std::string& fileName);
    // The first size bytes of an existing file, which grows to that size.
    // Throws ToolError(ExitWriteFailed).
    static MappedFile ForWriting(const std::string& fileName, std::uint64_t size);

    MappedFile(MappedFile&&) noexcept;
    MappedFile& operator=(MappedFile&&) noexcept;
    ~MappedFile();

    char* Data() const;
    std::uint64_t Size() const;
    // Takes the pages out of the process's resident memory. The bytes stay in
    // the file (written ones included) and come back when touched again, so
    // this is safe while another thread reads or writes the mapping.
    void Release() const;

    struct Mapping;

private:
    explicit MappedFile(std::unique_ptr<Mapping> mapping);
    std::unique_ptr<Mapping> mapping_;
};
