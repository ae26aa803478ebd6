#pragma once
// The thin layer over zlib through which the script, the payload, single
// compressed files and the uninstall list are compressed and decompressed
// (RFC 1950 streams, window 15, memory level 8).
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "container/decode_stream.h"
#include "util/exception.h"

enum CompressionLevel { LevelNone = 0, LevelFastest = 1, LevelDefault = 2, LevelBest = 3 };

// zlib level of each CompressionLevel.
extern const signed char CompressionLevels[4];

// Indexed by 2 minus the zlib result code.
extern const char* const ZLibErrorTexts[10];
// The stream interface version the wrapper was written against; zlib accepts
// any library whose version starts with the same digit.
extern const char* const ZLibInterfaceVersion;

class EZLibError : public Exception {
public:
    EZLibError(const std::string& message, int errorCode) : Exception(message), ErrorCode(errorCode) {}
    int ErrorCode;
};
class EZCompressionError : public EZLibError {
public:
    using EZLibError::EZLibError;
};
class EZDecompressionError : public EZLibError {
public:
    using EZLibError::EZLibError;
};

// The output block sizes handed to each inflate call, for callers that want to
// see how the output grew.
struct DecompressTrace {
    std::vector<int> OutputBlockSizes;
};

std::string CompressBuffer(const void* input, int inputSize, CompressionLevel level);
std::string DecompressBuffer(const void* input, int inputSize, int outputEstimate,
                             DecompressTrace* trace = nullptr);
std::string CompressString(const std::string& text, CompressionLevel level);
std::string DecompressString(const std::string& data);
// The same, with room for expectedSize bytes taken at once: a stated size that
// is right spares growing the result (a wrong one only costs the growing, and
// one beyond what the data can inflate to is not believed).
std::string DecompressString(const std::string& data, std::size_t expectedSize);

// Return code unchanged when it is 0 or above; raise otherwise.
int CheckCompressionResult(int code);
int CheckDecompressionResult(int code);

// Inflates one zlib stream piece after piece, so that neither the compressed
// nor the decompressed bytes are held whole. The compressed bytes come from
// source (it fills the buffer and gives how many bytes it put there, 0 at the
// end). Failures raise EZDecompressionError with the texts and codes that
// DecompressString gives for the same stream: "data error" for damage or a
// wrong Adler-32 trailer, "buffer error" for a stream cut short. Bytes behind
// the stream's end are never asked for.
class TInflateStream : public TDecodeStream {
public:
    explicit TInflateStream(TSource source);
    ~TInflateStream() override;
    TInflateStream(const TInflateStream&) = delete;
    TInflateStream& operator=(const TInflateStream&) = delete;

    std::size_t Read(char* buffer, std::size_t count) override;
    bool AtEnd() const override { return ended_; }

private:
    struct TState;
    std::unique_ptr<TState> state_;
    TSource source_;
    bool ended_ = false;
};

// Inflates the whole stream without keeping it: checks its deflate data and
// its Adler-32 trailer, and gives its decompressed size.
std::uint64_t CheckInflateStream(TInflateStream::TSource source);
