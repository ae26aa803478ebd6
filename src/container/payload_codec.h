#pragma once
// The payload section's two forms, told apart by their first bytes: the zlib
// stream that every installer reads, or one solid xz stream (LZMA2) whose
// pieces are stored inside it. And the check item that the packer adds, so
// that damage is found in one quick read before anything is written.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "container/decode_stream.h"

enum class TPayloadForm { Zlib, Lzma };

// Lzma when the bytes start with the xz stream header's magic; anything else,
// a cut or garbled start included, is read as zlib, whose header check then
// reports the damage.
TPayloadForm PayloadFormOf(const char* start, std::size_t size);

// Decodes one xz stream piece after piece. With more than one thread (see
// OpenThreadedDecodeStream), blocks that state their sizes are decoded side
// by side. Failures raise
// EZDecompressionError with the zlib wrapper's texts and codes: "data error"
// for damage, "buffer error" for a stream cut short, "insufficient memory"
// beyond the memory limit. Bytes behind the stream's end are ignored.
class TXzStream : public TDecodeStream {
public:
    // start sets liblzma's decoder up on the lzma_stream it is given, with
    // the threads; a function of its own so that code which never asks for
    // threads leaves the threaded decoder out.
    using TStart = int (*)(void* stream, unsigned threads);
    TXzStream(TSource source, TStart start, unsigned threads);
    ~TXzStream() override;
    TXzStream(const TXzStream&) = delete;
    TXzStream& operator=(const TXzStream&) = delete;

    std::size_t Read(char* buffer, std::size_t count) override;
    bool AtEnd() const override { return ended_; }

private:
    struct TState;
    std::unique_ptr<TState> state_;
    TSource source_;
    bool ended_ = false;
};

// What a decoder may take: the dictionary of a stream the packer wrote is at
// most 64 MiB; a header that asks for more than this is damage.
constexpr std::uint64_t XzMemoryLimit = 96u << 20;
// Beyond this, blocks are decoded on one thread instead of several.
constexpr std::uint64_t XzThreadingMemoryLimit = 256u << 20;

// The decoder threads worth starting on this machine (1 to 4).
unsigned DecoderThreads();

// The decoder for whichever form source holds (its first bytes decide), on
// the calling thread: its memory is the stream's dictionary.
std::unique_ptr<TDecodeStream> OpenDecodeStream(TDecodeStream::TSource source);
// The same with up to threads threads for a solid stream of several blocks,
// each of which is then held whole (for the packer's checks; the installer
// keeps to one thread and leaves this code out of its image).
std::unique_ptr<TDecodeStream> OpenThreadedDecodeStream(TDecodeStream::TSource source, unsigned threads);

// The whole decoded bytes of a section held in memory, either form.
std::string DecodeSectionData(const std::string& data);

// Decodes the whole stream without keeping it, checking it to its end; gives
// its decoded size.
std::uint64_t CheckDecodeStream(TDecodeStream::TSource source);

// The check item, a section of its own ahead of the payload section (readers
// that do not know it pass it by): the payload section's length, its decoded
// size and the CRC-32 of its bytes, the item itself closed by a CRC-32.
extern const char* const SectionSetupSum; // "Section:Setup.sum"
struct TPayloadCheck {
    std::uint64_t SectionLength = 0;
    std::uint64_t DecodedSize = 0;
    std::uint32_t SectionCrc = 0;
};
std::string MakePayloadCheck(const TPayloadCheck& check);
// False when data is no intact check item.
bool ReadPayloadCheck(const std::string& data, TPayloadCheck& check);
// CRC-32 (as zlib computes it) of size bytes, continuing from crc (0 to start).
std::uint32_t PayloadCrc(std::uint32_t crc, const char* data, std::size_t size);
// Reads the section once through source and compares its length and CRC-32.
bool SectionMatchesCheck(const TPayloadCheck& check, const TDecodeStream::TSource& source);
