#include "container/zlib_wrapper.h"

#include <zlib.h>

#include <algorithm>
#include <climits>
#include <cstring>

const signed char CompressionLevels[4] = {0, 1, -1, 9};

const char* const ZLibErrorTexts[10] = {
    "need dictionary", "stream end",          "ok",           "file error",           "stream error",
    "data error",      "insufficient memory", "buffer error", "incompatible version", "",
};

const char* const ZLibInterfaceVersion = "1.2.3";

namespace {

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

std::string DecompressString(const std::string& data, std::size_t expectedSize)
{
    // A garbled size must not make one huge allocation: beyond 64 to 1 the
    // result grows as it comes.
    const std::uint64_t believable = std::min<std::uint64_t>(data.size() * 64ull + (1u << 20), INT_MAX);
    const std::uint64_t estimate = std::min<std::uint64_t>(expectedSize, believable);
    return DecompressBuffer(data.data(), static_cast<int>(data.size()), static_cast<int>(estimate));
}

struct TInflateStream::TState {
    z_stream Stream;
    std::string Input; // the source's bytes not yet taken by inflate
    bool SourceEnded = false;
};

namespace {

// Pieces in which compressed bytes are taken from a stream's source.
const std::size_t InflateInputPiece = 1024 * 1024;

} // namespace

TInflateStream::TInflateStream(TSource source) : state_(new TState()), source_(std::move(source))
{
    state_->Input.resize(InflateInputPiece);
    std::memset(&state_->Stream, 0, sizeof(state_->Stream));
    CheckDecompressionResult(
        inflateInit_(&state_->Stream, ZLibInterfaceVersion, static_cast<int>(sizeof(z_stream))));
}

TInflateStream::~TInflateStream()
{
    inflateEnd(&state_->Stream);
}

std::size_t TInflateStream::Read(char* buffer, std::size_t count)
{
    z_stream& stream = state_->Stream;
    std::size_t done = 0;
    while (done < count && !ended_) {
        if (stream.avail_in == 0 && !state_->SourceEnded) {
            const std::size_t got = source_(&state_->Input[0], state_->Input.size());
            if (got == 0) state_->SourceEnded = true;
            stream.next_in = reinterpret_cast<Bytef*>(&state_->Input[0]);
            stream.avail_in = static_cast<uInt>(got);
        }
        const std::size_t want = std::min<std::size_t>(count - done, 1u << 30);
        stream.next_out = reinterpret_cast<Bytef*>(buffer + done);
        stream.avail_out = static_cast<uInt>(want);
        const int result = CheckDecompressionResult(inflate(&stream, Z_NO_FLUSH));
        done += want - stream.avail_out;
        if (result == Z_STREAM_END) {
            ended_ = true;
            break;
        }
        if (result == Z_NEED_DICT) throw EZDecompressionError(ErrorTextOf(result), result);
        // With all input given, a call that makes no progress means the
        // stream is cut short; zlib says so with Z_BUF_ERROR, as the whole-
        // buffer form reports it.
        if (state_->SourceEnded && stream.avail_in == 0 && stream.avail_out != 0) {
            const int again = inflate(&stream, Z_NO_FLUSH);
            if (again == Z_STREAM_END) {
                ended_ = true;
                break;
            }
            CheckDecompressionResult(again == Z_OK ? Z_BUF_ERROR : again);
            throw EZDecompressionError(ErrorTextOf(Z_BUF_ERROR), Z_BUF_ERROR);
        }
    }
    return done;
}

std::uint64_t TDecodeStream::Skip(std::uint64_t count)
{
    std::string scratch(256 * 1024, '\0');
    std::uint64_t skipped = 0;
    while (skipped < count && !AtEnd()) {
        const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(count - skipped, scratch.size()));
        const std::size_t got = Read(&scratch[0], want);
        skipped += got;
        if (got < want) break;
    }
    return skipped;
}

std::uint64_t CheckInflateStream(TInflateStream::TSource source)
{
    TInflateStream stream(std::move(source));
    return stream.Skip(~std::uint64_t(0));
}
