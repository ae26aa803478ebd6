// DecompressString over arbitrary bytes: data or a EZDecompressionError, nothing
// else; compressing and decompressing gives the bytes back.
#include <algorithm>
#include <string>

#include "container/zlib_wrapper.h"
#include "fuzz_targets.h"

namespace {

// The stream inflater fed and read in small steps taken from the input.
std::string InflateInSteps(const std::string& bytes, std::size_t feedStep, std::size_t readStep, int& code)
{
    std::size_t fed = 0;
    TInflateStream stream([&](char* buffer, std::size_t capacity) {
        const std::size_t count = std::min({feedStep, capacity, bytes.size() - fed});
        std::copy(bytes.data() + fed, bytes.data() + fed + count, buffer);
        fed += count;
        return count;
    });
    std::string out;
    code = 0;
    try {
        std::string piece(readStep, '\0');
        for (;;) {
            const std::size_t got = stream.Read(piece.data(), piece.size());
            out.append(piece.data(), got);
            if (got < piece.size()) break;
        }
        FuzzCheck(stream.AtEnd(), "a short read means the end");
    } catch (const EZDecompressionError& error) {
        code = error.ErrorCode;
    }
    return out;
}

} // namespace

int FuzzDecompress(const std::uint8_t* data, std::size_t size)
{
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    std::string plain;
    int code = 0;
    try {
        plain = DecompressString(bytes);
        FuzzCheck(!bytes.empty(), "nothing does not decompress");
    } catch (const EZDecompressionError& error) {
        FuzzCheck(error.ErrorCode < 0 || error.ErrorCode == 2, "a failure carries a failure code");
        code = error.ErrorCode;
    }
    // The stream inflater agrees with the whole-buffer one: same data, same failure.
    if (!bytes.empty()) {
        int streamCode = 0;
        const std::string streamed = InflateInSteps(bytes, 1 + data[0] % 13, 1 + data[size - 1] % 4096, streamCode);
        FuzzCheck(streamCode == code, "the stream fails as the buffer does");
        if (code == 0) FuzzCheck(streamed == plain, "the stream gives the same bytes");
    }
    // An estimate taken from the input changes the growth, never the result.
    if (size >= 2) {
        const int estimate = (data[0] << 8) | data[1];
        std::string withEstimate, without;
        bool failedWith = false, failedWithout = false;
        try {
            withEstimate = DecompressBuffer(data + 2, static_cast<int>(size - 2), estimate);
        } catch (const EZDecompressionError&) {
            failedWith = true;
        }
        try {
            without = DecompressBuffer(data + 2, static_cast<int>(size - 2), 0);
        } catch (const EZDecompressionError&) {
            failedWithout = true;
        }
        FuzzCheck(failedWith == failedWithout, "the estimate does not decide success");
        FuzzCheck(withEstimate == without, "the estimate does not change the data");
    }
    const CompressionLevel level = static_cast<CompressionLevel>(size % 4);
    FuzzCheck(DecompressString(CompressString(bytes, level)) == bytes, "compression round trip");
    return 0;
}
