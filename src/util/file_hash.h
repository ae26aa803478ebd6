#pragma once
// SHA-256 digests of installed files. On Windows the system computes them
// (CNG, bcrypt.dll, loaded from the system folder), so the installer's image
// carries no hashing code of its own.
#include <array>
#include <cstdint>
#include <memory>
#include <string>

using TSha256 = std::array<unsigned char, 32>;

// 64 hexadecimal digits, either case; false for anything else.
bool ParseSha256Hex(const std::string& text, TSha256& digest);

#ifdef _WIN32
// Hashes files one after the other with one algorithm handle, opened once.
class TFileHasher {
public:
    TFileHasher();
    ~TFileHasher();
    TFileHasher(const TFileHasher&) = delete;
    TFileHasher& operator=(const TFileHasher&) = delete;

    // The digest of the file's bytes, read in bounded chunks; false when the
    // system has no SHA-256 or the file cannot be opened or read. error gets
    // the Win32 error of a failed open (ERROR_SHARING_VIOLATION for a file
    // another program holds without sharing).
    bool HashFile(const std::string& path, TSha256& digest, unsigned long& error);

private:
    struct TState;
    std::unique_ptr<TState> state_;
};
#endif
