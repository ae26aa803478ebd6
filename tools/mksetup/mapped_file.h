#pragma once
// A file's bytes seen through memory. libdeflate takes a stream's whole input
// and output at once; for the payload stream both are files mapped into
// memory, so that their bytes live in the system's file cache, which it can
// write back and reuse, and not in the packer's own memory.
//
// A write through a mapping cannot fail softly: a page the disk has no room
// for kills the process (SIGBUS, an in-page error on Windows). So a file is
// given its whole room on disk before it is mapped for writing, and the
// packer's other output goes through FileWriter, whose failures are errors.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

class MappedFile {
public:
    // The whole file, read-only. Throws ToolError(ExitBadInput).
    static MappedFile ForReading(const std::string& fileName);
    // The first size bytes of an existing file, which grows to that size
    // with every byte's room taken on disk first. Throws
    // ToolError(ExitWriteFailed), for a full disk with the bytes missing.
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

// Writes a file through the system's calls: a full disk is told apart from
// other failures and named with the bytes missing. Throws
// ToolError(ExitWriteFailed).
class FileWriter {
public:
    // create: a new file, or an existing one emptied; otherwise the file must exist.
    FileWriter(const std::string& fileName, bool create);
    ~FileWriter();
    FileWriter(const FileWriter&) = delete;
    FileWriter& operator=(const FileWriter&) = delete;

    void WriteAt(std::uint64_t offset, const char* data, std::size_t size);
    void Append(const char* data, std::size_t size) { WriteAt(end_, data, size); }
    // Closes the file, reporting what the system reports only then.
    void Close();

private:
    std::string fileName_;
    std::intptr_t handle_;
    std::uint64_t end_ = 0;
};

