#pragma once
// A stream that decodes compressed bytes piece after piece: the payload's
// zlib stream or its solid LZMA stream, read the same way.
#include <cstddef>
#include <cstdint>
#include <functional>

class TDecodeStream {
public:
    // Fills the buffer with compressed bytes and gives how many, 0 at the end.
    using TSource = std::function<std::size_t(char* buffer, std::size_t capacity)>;

    virtual ~TDecodeStream() = default;
    // Up to count bytes into buffer; fewer only at the stream's end. Damage
    // raises EZDecompressionError.
    virtual std::size_t Read(char* buffer, std::size_t count) = 0;
    virtual bool AtEnd() const = 0;
    // Reads on without keeping anything; gives the number of bytes.
    std::uint64_t Skip(std::uint64_t count);
};
