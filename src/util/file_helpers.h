#pragma once
// Whole-file reading and file sizes. Failures never raise: they give false
// (or -1) and empty data.
#include <cstdint>
#include <string>

#ifdef _WIN32
#include <windows.h>
// The system's find record of the first entry matching fileName (wildcards
// allowed, directories included).
bool FindFileInfo(const std::string& fileName, WIN32_FIND_DATAA& record);
#endif

// The size the directory entry reports; -1 for an empty name or a missing file.
std::int64_t QueryFileSize(const std::string& fileName);

// At most limit bytes (all when limit <= 0) of a file of 1 byte to 2 GiB - 1,
// opened so that other processes may read and write it meanwhile.
bool ReadFileStart(const std::string& fileName, std::int64_t limit, std::string& data);
bool ReadWholeFile(const std::string& fileName, std::string& data);

// OS seam used by ReadFileStart: reads exactly count bytes from the start.
bool ReadFileBytes(const std::string& fileName, std::size_t count, std::string& data);

// Up to count bytes of a file from offset on (fewer at its end, none behind
// it); false when the file cannot be opened or read. For reading large files
// piece after piece without holding them whole.
bool ReadFilePart(const std::string& fileName, std::uint64_t offset, std::size_t count, std::string& data);
// The same into the caller's memory; done tells how many bytes came. Reading
// a large file piece after piece into one buffer touches no fresh memory.
bool ReadFilePartInto(const std::string& fileName, std::uint64_t offset, char* buffer, std::size_t count,
                      std::size_t& done);

// The file of the running program, as the operating system names it.
std::string OwnExecutablePath();
