#include "util/file_hash.h"

#include <windows.h>
#include <bcrypt.h>

#include <string>
#include <vector>

#include "util/win_handles.h"

namespace {

// bcrypt.dll is no known DLL: imported by the image, it would be looked for
// beside Setup.exe first (a downloads folder). So it is loaded from the
// system folder only, and its functions are looked up.
class BcryptLibrary {
public:
    BcryptLibrary()
    {
        module_ = LoadLibraryExA("bcrypt.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
        // Systems without the restricted search refuse the flag: the folder is named in full.
        if (!module_ && GetLastError() == ERROR_INVALID_PARAMETER) {
            char folder[MAX_PATH] = {};
            const UINT length = GetSystemDirectoryA(folder, MAX_PATH);
            if (length > 0 && length < MAX_PATH) module_ = LoadLibraryA((std::string(folder) + "\\bcrypt.dll").c_str());
        }
        if (!module_) return;
        Find(OpenAlgorithmProvider, "BCryptOpenAlgorithmProvider");
        Find(CloseAlgorithmProvider, "BCryptCloseAlgorithmProvider");
        Find(GetProperty, "BCryptGetProperty");
        Find(CreateHash, "BCryptCreateHash");
        Find(HashData, "BCryptHashData");
        Find(FinishHash, "BCryptFinishHash");
        Find(DestroyHash, "BCryptDestroyHash");
    }
    ~BcryptLibrary()
    {
        if (module_) FreeLibrary(module_);
    }
    BcryptLibrary(const BcryptLibrary&) = delete;
    BcryptLibrary& operator=(const BcryptLibrary&) = delete;
    bool Loaded() const
    {
        return OpenAlgorithmProvider && CloseAlgorithmProvider && GetProperty && CreateHash && HashData &&
               FinishHash && DestroyHash;
    }

    // BCryptHash would do a whole file in one call, but needs Windows 10.
    decltype(&BCryptOpenAlgorithmProvider) OpenAlgorithmProvider = nullptr;
    decltype(&BCryptCloseAlgorithmProvider) CloseAlgorithmProvider = nullptr;
    decltype(&BCryptGetProperty) GetProperty = nullptr;
    decltype(&BCryptCreateHash) CreateHash = nullptr;
    decltype(&BCryptHashData) HashData = nullptr;
    decltype(&BCryptFinishHash) FinishHash = nullptr;
    decltype(&BCryptDestroyHash) DestroyHash = nullptr;

private:
    template <typename TFunction>
    void Find(TFunction& function, const char* name)
    {
        function = reinterpret_cast<TFunction>(reinterpret_cast<void*>(GetProcAddress(module_, name)));
    }
    HMODULE module_ = nullptr;
};

class AlgorithmHandle {
public:
    explicit AlgorithmHandle(const BcryptLibrary& bcrypt) : bcrypt_(bcrypt)
    {
        if (!bcrypt.Loaded() || !BCRYPT_SUCCESS(bcrypt.OpenAlgorithmProvider(&handle_, BCRYPT_SHA256_ALGORITHM, nullptr, 0)))
            handle_ = nullptr;
    }
    ~AlgorithmHandle()
    {
        if (handle_) bcrypt_.CloseAlgorithmProvider(handle_, 0);
    }
    AlgorithmHandle(const AlgorithmHandle&) = delete;
    AlgorithmHandle& operator=(const AlgorithmHandle&) = delete;
    BCRYPT_ALG_HANDLE get() const { return handle_; }

private:
    const BcryptLibrary& bcrypt_;
    BCRYPT_ALG_HANDLE handle_ = nullptr;
};

class HashHandle {
public:
    // Vista wants the hash object's memory from the caller.
    HashHandle(const BcryptLibrary& bcrypt, BCRYPT_ALG_HANDLE algorithm, std::vector<UCHAR>& object) : bcrypt_(bcrypt)
    {
        if (!BCRYPT_SUCCESS(bcrypt.CreateHash(algorithm, &handle_, object.data(), static_cast<ULONG>(object.size()),
                                              nullptr, 0, 0)))
            handle_ = nullptr;
    }
    ~HashHandle()
    {
        if (handle_) bcrypt_.DestroyHash(handle_);
    }
    HashHandle(const HashHandle&) = delete;
    HashHandle& operator=(const HashHandle&) = delete;
    BCRYPT_HASH_HANDLE get() const { return handle_; }

private:
    const BcryptLibrary& bcrypt_;
    BCRYPT_HASH_HANDLE handle_ = nullptr;
};

const DWORD ChunkSize = 256 * 1024;

} // namespace

struct TFileHasher::TState {
    BcryptLibrary Bcrypt;
    AlgorithmHandle Algorithm{Bcrypt};
    std::vector<UCHAR> Object;
    std::vector<UCHAR> Chunk;
};

TFileHasher::TFileHasher() : state_(std::make_unique<TState>())
{
    DWORD objectLength = 0;
    ULONG got = 0;
    if (state_->Algorithm.get() &&
        BCRYPT_SUCCESS(state_->Bcrypt.GetProperty(state_->Algorithm.get(), BCRYPT_OBJECT_LENGTH,
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
    HashHandle hash(state_->Bcrypt, state_->Algorithm.get(), state_->Object);
    if (!hash.get()) return false;
    state_->Chunk.resize(ChunkSize);
    for (;;) {
        DWORD read = 0;
        if (!ReadFile(file.get(), state_->Chunk.data(), ChunkSize, &read, nullptr)) {
            error = GetLastError();
            return false;
        }
        if (read == 0) break;
        if (!BCRYPT_SUCCESS(state_->Bcrypt.HashData(hash.get(), state_->Chunk.data(), read, 0))) return false;
    }
    return BCRYPT_SUCCESS(state_->Bcrypt.FinishHash(hash.get(), digest.data(), static_cast<ULONG>(digest.size()), 0));
}
