// The payload decoder over arbitrary section bytes: data or an
// EZDecompressionError, nothing else, whichever form the first bytes pick;
// one decoding thread and several agree; the xz round trip gives the bytes back.
#include <lzma.h>

#include <algorithm>
#include <memory>
#include <string>

#include "container/payload_codec.h"
#include "container/zlib_wrapper.h"
#include "fuzz_targets.h"

namespace {

std::string DecodeInSteps(const std::string& bytes, std::size_t feedStep, std::size_t readStep, unsigned threads,
                          int& code)
{
    std::size_t fed = 0;
    std::string out;
    code = 0;
    try {
        std::unique_ptr<TDecodeStream> stream =
            OpenThreadedDecodeStream([&](char* buffer, std::size_t capacity) {
                const std::size_t count = std::min({feedStep, capacity, bytes.size() - fed});
                std::copy(bytes.data() + fed, bytes.data() + fed + count, buffer);
                fed += count;
                return count;
            }, threads);
        std::string piece(readStep, '\0');
        for (;;) {
            const std::size_t got = stream->Read(piece.data(), piece.size());
            out.append(piece.data(), got);
            if (got < piece.size()) break;
        }
        FuzzCheck(stream->AtEnd(), "a short read means the end");
    } catch (const EZDecompressionError& error) {
        FuzzCheck(error.ErrorCode == -3 || error.ErrorCode == -4 || error.ErrorCode == -5 || error.ErrorCode == 2,
                  "a failure carries a zlib failure code");
        code = error.ErrorCode;
    }
    return out;
}

} // namespace

int FuzzPayloadDecode(const std::uint8_t* data, std::size_t size)
{
    // An odd first byte other than the magic's is replaced by the xz magic, so
    // that most inputs reach the LZMA decoder.
    const std::string raw(reinterpret_cast<const char*>(data), size);
    const bool toXz = size > 0 && data[0] % 2 && data[0] != 0xFD;
    const std::string bytes = toXz ? std::string("\xFD" "7zXZ", 6) + raw.substr(1) : raw;
    const std::size_t feed = 1 + (size > 1 ? data[1] % 17 : 0);
    const std::size_t read = 1 + (size > 2 ? data[2] * 37 : 0);
    int one = 0, several = 0;
    const std::string single = DecodeInSteps(bytes, feed, read, 1, one);
    const std::string threaded = DecodeInSteps(bytes, 4096, 65536, 2, several);
    FuzzCheck((one == 0) == (several == 0), "the threads do not decide success");
    if (one == 0) FuzzCheck(single == threaded, "the threads give the same bytes");

    std::string xz(lzma_stream_buffer_bound(size), '\0');
    std::size_t written = 0;
    FuzzCheck(lzma_easy_buffer_encode(0, LZMA_CHECK_CRC32, nullptr, data, size,
                                      reinterpret_cast<std::uint8_t*>(&xz[0]), &written, xz.size()) == LZMA_OK,
              "encoding works");
    xz.resize(written);
    int code = 0;
    FuzzCheck(DecodeInSteps(xz, feed, read, 1, code) == raw && code == 0, "xz round trip");
    return 0;
}
