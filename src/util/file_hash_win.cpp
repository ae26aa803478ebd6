#include "util/file_hash.h"

#include <windows.h>
#include <bcrypt.h>

#include <vector>

#include "util/win_handles.h"

namespace {

// BCryptHash would do the whole job in one call, but needs Windows 10.
class AlgorithmHandle {
public:
    AlgorithmHandle()
    {
        if (!BCRYPT_SUCCESS(BCryptOpenAlgorithmProvider(&handle_, BCRYPT_SHA256_ALGORITHM, nullptr, 0)))
            handle_ = nullptr;
    }
    ~AlgorithmHandle()
    {
        if (handle_) BCryptCloseAlgorithmProvider(handle_, 0);
    }
    AlgorithmHandle(const AlgorithmHandle&) = delete;
    AlgorithmHandle& operator=(const AlgorithmHandle&) = delete;
    BCRYPT_ALG_HANDLE get() const { return handle_; }

private:
    BCRYPT_ALG_HANDLE handle_ = nullptr;
};

class HashHandle {
public:
    // Vista wants the hash object's memory from the caller.
    HashHandle(BCRYPT_ALG_HANDLE algorithm, std::vector<UCHAR>& object)
    {
        if (!BCRYPT_SUCCESS(BCryptCreateHash(algorithm, &handle_, object.data(), static_cast<ULONG>(object.size()),
                                             nullptr, 0, 0)))
            handle_ = nullptr;
    }
    ~HashHandle()
    {
        if (handle_) BCryptDestroyHash(handle_);
    }
    HashHandle(const HashHandle&) = delete;
    HashHandle& operator=(const HashHandle&) = delete;
    BCRYPT_HASH_HANDLE get() const { return handle_; }

private:
    BCRYPT_HASH_HANDLE handle_ = nullptr;
};

const DWORD ChunkSize = 256 * 1024;

} // namespace

struct TFileHasher::TState {
    AlgorithmHandle Algorithm;
    std::vector<UCHAR> Object;
    std::vector<UCHAR> Chunk;
};

TFileHasher::TFileHasher() : state_(std::make_unique<TState>())
{
    DWORD objectLength = 0;
    ULONG got = 0;
    if (state_->Algorithm.get() &&
        BCRYPT_SUCCESS(BCryptGetProperty(state_->Algorithm.get(), BCRYPT_OBJECT_LENGTH,
                                         reinterpret_cast<PUCHAR>(&objectLength), sizeof objectLength, &got, 0)))
        state_->Object.resize(objectLength);
}

TFileHasher::~TFileHasher() = default;

bool TFileHasher::HashFile(const std::string& path, TSha256& digest, unsigned long& error)
{
    error = ERROR_SUCCESS;
    if (!state_->Algorithm.get()) return false;
    // Readers and a running program's image loader share reading; a writer or
    // a holder without sharing makes the open fail.
    FileHandle file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file) {
        error = GetLastError();
        return false;
    }
    HashHandle hash(state_->Algorithm.get(), state_->Object);
    if (!hash.get()) return false;
    state_->Chunk.resize(ChunkSize);
    for (;;) {
        DWORD read = 0;
        if (!ReadFile(file.get(), state_->Chunk.data(), ChunkSize, &read, nullptr)) {
            error = GetLastError();
            return false;
        }
        if (read == 0) break;
        if (!BCRYPT_SUCCESS(BCryptHashData(hash.get(), state_->Chunk.data(), read, 0))) return false;
    }
    return BCRYPT_SUCCESS(BCryptFinishHash(hash.get(), digest.data(), static_cast<ULONG>(digest.size()), 0));
}
