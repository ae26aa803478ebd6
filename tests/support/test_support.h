#pragma once
// Shared test fixtures: temporary folders and file contents.
#include <filesystem>
#include <string>

// A fresh folder under the system's temp folder, removed with everything in it.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& Path() const { return path_; }
    // The path of a name inside the folder, as 8-bit text.
    std::string File(const std::string& name) const;

private:
    std::filesystem::path path_;
};

void WriteTestFile(const std::string& fileName, const std::string& bytes);
std::string ReadTestFile(const std::string& fileName);

// Deterministic bytes: text-like when compressible, else pseudo-random.
std::string MakeTestBytes(std::size_t size, bool compressible, unsigned seed = 1);
