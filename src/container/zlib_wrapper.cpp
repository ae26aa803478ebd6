#include "container/zlib_wrapper.h"

#include <zlib.h>

#include <climits>
#include <cstring>

const signed char CompressionLevels[4] = {0, 1, -1, 9};

const char* const ZLibErrorTexts[10] = {
    "need dictionary", "stream end",          "ok",           "file error",           "stream error",
    "data error",      "insufficient memory", "buffer error", "incompatible version", "",
};

namespace {

// The stream interface version the wrapper was written against; zlib accepts
// any library whose version starts with the same digit.
const char* const ZLibInterfaceVersion = "1.2.3";

const char* ErrorTextOf(int code)
{
    const int index = 2 - code;
    return (index >= 0 && index < 10) ? ZLibErrorTexts[index] : "";
}

int RoundUp256(long long size)
{
    const long long rounded = (size + 255) / 256 * 256;
    if (rounded > INT_MAX) throw EZLibError("insufficient memory", Z_MEM_ERROR);
    return static_cast<int>(rounded);
}

Bytef* BytesAt(std::string& block, uLong offset)
{
    return reinterpret_cast<Bytef*>(block.data()) + offset;
}

// Frees the zlib stream on every path; the explicit End() reports its result.
template <int (*EndFunction)(z_streamp)>
class StreamGuard {
public:
    explicit StreamGuard(z_stream& stream) : stream_(stream) {}
    ~StreamGuard()
    {
        if (active_) EndFunction(&stream_);
    }
    int End()
    {
        active_ = false;
        return EndFunction(&stream_);
    }

private:
    z_stream& stream_;
    bool active_ = true;
};

} // namespace

int CheckCompressionResult(int code)
{
    if (code < 0) throw EZCompressionError(ErrorTextOf(code), code);
    return code;
}

int CheckDecompressionResult(int code)
{
    if (code < 0) throw EZDecompressionError(ErrorTextOf(code), code);
    return code;
}

std::string CompressBuffer(const void* input, int inputSize, CompressionLevel level)
{
    z_stream stream;
    std::memset(&stream, 0, sizeof(stream));
    CheckCompressionResult(deflateInit_(&stream, CompressionLevels[level], ZLibInterfaceVersion,
                                        static_cast<int>(sizeof(z_stream))));
    StreamGuard<deflateEnd> guard(stream);

    int outSize = RoundUp256(static_cast<long long>(inputSize) + inputSize / 10 + 12);
    std::string output(static_cast<std::size_t>(outSize), '\0');
    stream.next_in = static_cast<Bytef*>(const_cast<void*>(input));
    stream.avail_in = static_cast<uInt>(inputSize);
    stream.next_out = BytesAt(output, 0);
    stream.avail_out = static_cast<uInt>(outSize);
    while (CheckCompressionResult(deflate(&stream, Z_FINISH)) != Z_STREAM_END) {
        outSize += 256;
        output.resize(static_cast<std::size_t>(outSize));
        stream.next_out = BytesAt(output, stream.total_out);
        stream.avail_out = 256;
    }
    CheckCompressionResult(guard.End());
    output.resize(stream.total_out);
    return output;
}

std::string DecompressBuffer(const void* input, int inputSize, int outputEstimate, DecompressTrace* trace)
{
    z_stream stream;
    std::memset(&stream, 0, sizeof(stream));
    CheckDecompressionResult(inflateInit_(&stream, ZLibInterfaceVersion, static_cast<int>(sizeof(z_stream))));
    StreamGuard<inflateEnd> guard(stream);

    const int step = RoundUp256(inputSize);
    int outSize = outputEstimate != 0 ? outputEstimate : step;
    std::string output(static_cast<std::size_t>(outSize), '\0');
    stream.next_in = static_cast<Bytef*>(const_cast<void*>(input));
    stream.avail_in = static_cast<uInt>(inputSize);
    // With no output block zlib must see a null pointer: an empty input then
    // ends in a stream error instead of a loop.
    stream.next_out = outSize > 0 ? BytesAt(output, 0) : Z_NULL;
    stream.avail_out = static_cast<uInt>(outSize);
    for (;;) {
        if (trace) trace->OutputBlockSizes.push_back(outSize);
        const int result = CheckDecompressionResult(inflate(&stream, Z_NO_FLUSH));
        if (result == Z_STREAM_END) break;
        // A stream that wants a preset dictionary can never finish here.
        if (result == Z_NEED_DICT) throw EZDecompressionError(ErrorTextOf(result), result);
        if (static_cast<long long>(outSize) + step > INT_MAX)
            throw EZDecompressionError(ErrorTextOf(Z_MEM_ERROR), Z_MEM_ERROR);
        outSize += step;
        output.resize(static_cast<std::size_t>(outSize));
        stream.next_out = BytesAt(output, stream.total_out);
        stream.avail_out = static_cast<uInt>(step);
    }
    CheckDecompressionResult(guard.End());
    output.resize(stream.total_out);
    return output;
}

std::string CompressString(const std::string& text, CompressionLevel level)
{
    return CompressBuffer(text.data(), static_cast<int>(text.size()), level);
}

std::string DecompressString(const std::string& data)
{
    return DecompressBuffer(data.data(), static_cast<int>(data.size()), 0);
}
