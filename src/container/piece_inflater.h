#pragma once
// Inflating the payload's compressed pieces, whose sizes the script states.
// Two builds of the same class: libdeflate's decompressor, which inflates a
// whole piece at once about three times as fast as zlib, and zlib's inflate,
// for images without room for a second decompressor (the 32-bit one). CMake
// picks one (SETUP_FAST_INFLATE).

#include <cstddef>
#include <memory>

// Inflates whole zlib streams one after the other into memory the caller
// gives, with one decompressor state kept for all of them: a second thread
// that inflates many small pieces then takes nothing from the heap per piece.
class TPieceInflater {
public:
    TPieceInflater();
    ~TPieceInflater();
    TPieceInflater(const TPieceInflater&) = delete;
    TPieceInflater& operator=(const TPieceInflater&) = delete;

    // True when data holds a whole stream (bytes behind its end are ignored)
    // whose result fits into capacity bytes at out; produced tells how many
    // it wrote. False for anything else, damage included: DecompressString
    // then gives the result or the failure.
    bool Inflate(const char* data, std::size_t size, char* out, std::size_t capacity, std::size_t& produced);

private:
    struct TState;
    std::unique_ptr<TState> state_;
};
