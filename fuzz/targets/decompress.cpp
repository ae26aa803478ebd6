// DecompressString over arbitrary bytes: data or a EZDecompressionError, nothing
// else; compressing and decompressing gives the bytes back.
#include <string>

#include "container/zlib_wrapper.h"
#include "fuzz_targets.h"

int FuzzDecompress(const std::uint8_t* data, std::size_t size)
{
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    try {
        const std::string plain = DecompressString(bytes);
        FuzzCheck(!bytes.empty(), "nothing does not decompress");
    } catch (const EZDecompressionError& error) {
        FuzzCheck(error.ErrorCode < 0 || error.ErrorCode == 2, "a failure carries a failure code");
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
