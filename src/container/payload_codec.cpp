#include "container/payload_codec.h"

#include <lzma.h>
#include <zlib.h> // result codes

#include <algorithm>
#include <cstring>
#include <string>

#include "container/zlib_wrapper.h"

const char* const SectionSetupSum = "Section:Setup.sum";

namespace {

const char XzMagic[6] = {'\xFD', '7', 'z', 'X', 'Z', '\0'};

// Pieces in which compressed bytes are taken from a source.
const std::size_t SourcePiece = 1024 * 1024;

[[noreturn]] void RaiseFor(lzma_ret result)
{
    switch (result) {
    case LZMA_MEM_ERROR:
    case LZMA_MEMLIMIT_ERROR:
        throw EZDecompressionError(ZLibErrorTexts[6], Z_MEM_ERROR);
    case LZMA_BUF_ERROR:
        throw EZDecompressionError(ZLibErrorTexts[7], Z_BUF_ERROR);
    default:
        throw EZDecompressionError(ZLibErrorTexts[5], Z_DATA_ERROR);
    }
}

// Gives the bytes already taken from a source first, then the source's own.
TDecodeStream::TSource WithFirstBytes(std::string first, TDecodeStream::TSource source)
{
    auto held = std::make_shared<std::string>(std::move(first));
    return [held, source](char* buffer, std::size_t capacity) -> std::size_t {
        if (held->empty()) return source(buffer, capacity);
        const std::size_t count = std::min(capacity, held->size());
        std::memcpy(buffer, held->data(), count);
        held->erase(0, count);
        return count;
    };
}

void PutLittleEndian(std::string& out, std::uint64_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i) out += static_cast<char>((value >> (8 * i)) & 0xFF);
}

std::uint64_t GetLittleEndian(const std::string& data, std::size_t at, int bytes)
{
    std::uint64_t value = 0;
    for (int i = bytes - 1; i >= 0; --i) value = (value << 8) | static_cast<unsigned char>(data[at + i]);
    return value;
}

} // namespace

TPayloadForm PayloadFormOf(const char* start, std::size_t size)
{
    return size >= sizeof XzMagic && std::memcmp(start, XzMagic, sizeof XzMagic) == 0 ? TPayloadForm::Lzma
                                                                                      : TPayloadForm::Zlib;
}

struct TXzStream::TState {
    lzma_stream Stream = LZMA_STREAM_INIT;
    std::string Input; // the source's bytes not yet taken by the decoder
    bool SourceEnded = false;
};

TXzStream::TXzStream(TSource source, TStart start, unsigned threads)
    : state_(std::make_unique<TState>()), source_(std::move(source))
{
    state_->Input.resize(SourcePiece);
    const lzma_ret result = static_cast<lzma_ret>(start(&state_->Stream, threads));
    if (result != LZMA_OK) RaiseFor(result);
}

TXzStream::~TXzStream()
{
    lzma_end(&state_->Stream);
}

std::size_t TXzStream::Read(char* buffer, std::size_t count)
{
    lzma_stream& stream = state_->Stream;
    std::size_t done = 0;
    while (done < count && !ended_) {
        if (stream.avail_in == 0 && !state_->SourceEnded) {
            const std::size_t got = source_(&state_->Input[0], state_->Input.size());
            if (got == 0) state_->SourceEnded = true;
            stream.next_in = reinterpret_cast<const uint8_t*>(state_->Input.data());
            stream.avail_in = got;
        }
        stream.next_out = reinterpret_cast<uint8_t*>(buffer + done);
        stream.avail_out = count - done;
        // Once the source is done, liblzma reports a stream cut short as
        // LZMA_BUF_ERROR when a call makes no progress.
        const lzma_ret result = lzma_code(&stream, state_->SourceEnded ? LZMA_FINISH : LZMA_RUN);
        done = count - stream.avail_out;
        if (result == LZMA_STREAM_END) {
            ended_ = true;
            break;
        }
        if (result != LZMA_OK) RaiseFor(result);
    }
    return done;
}

unsigned DecoderThreads()
{
    return std::clamp(lzma_cputhreads(), 1u, 4u);
}

namespace {

// Reads the first bytes, which decide the form; a source that gives them in
// tiny pieces is asked until there are enough or it ends. source then gives
// the whole stream again.
TPayloadForm TakeForm(TDecodeStream::TSource& source)
{
    std::string first(sizeof XzMagic, '\0');
    std::size_t have = 0;
    while (have < first.size()) {
        const std::size_t got = source(&first[have], first.size() - have);
        if (got == 0) break;
        have += got;
    }
    first.resize(have);
    const TPayloadForm form = PayloadFormOf(first.data(), first.size());
    source = WithFirstBytes(std::move(first), std::move(source));
    return form;
}

int StartSingle(void* stream, unsigned)
{
    return lzma_stream_decoder(static_cast<lzma_stream*>(stream), XzMemoryLimit, 0);
}

int StartThreaded(void* stream, unsigned threads)
{
    lzma_mt options{};
    options.threads = threads;
    options.memlimit_threading = XzThreadingMemoryLimit;
    options.memlimit_stop = XzMemoryLimit + XzThreadingMemoryLimit;
    return lzma_stream_decoder_mt(static_cast<lzma_stream*>(stream), &options);
}

} // namespace

std::unique_ptr<TDecodeStream> OpenDecodeStream(TDecodeStream::TSource source)
{
    if (TakeForm(source) == TPayloadForm::Lzma) return std::make_unique<TXzStream>(std::move(source), StartSingle, 1);
    return std::make_unique<TInflateStream>(std::move(source));
}

std::unique_ptr<TDecodeStream> OpenThreadedDecodeStream(TDecodeStream::TSource source, unsigned threads)
{
    if (TakeForm(source) == TPayloadForm::Lzma)
        return std::make_unique<TXzStream>(std::move(source), threads > 1 ? StartThreaded : StartSingle, threads);
    return std::make_unique<TInflateStream>(std::move(source));
}

std::string DecodeSectionData(const std::string& data)
{
    std::size_t next = 0;
    std::unique_ptr<TDecodeStream> stream = OpenDecodeStream([&](char* buffer, std::size_t capacity) {
        const std::size_t count = std::min(capacity, data.size() - next);
        std::memcpy(buffer, data.data() + next, count);
        next += count;
        return count;
    });
    std::string out, piece(SourcePiece, '\0');
    while (const std::size_t got = stream->Read(&piece[0], piece.size())) out.append(piece, 0, got);
    return out;
}

std::uint64_t CheckDecodeStream(TDecodeStream::TSource source)
{
    return OpenDecodeStream(std::move(source))->Skip(~std::uint64_t(0));
}

std::string MakePayloadCheck(const TPayloadCheck& check)
{
    std::string out;
    PutLittleEndian(out, check.SectionLength, 8);
    PutLittleEndian(out, check.DecodedSize, 8);
    PutLittleEndian(out, check.SectionCrc, 4);
    PutLittleEndian(out, PayloadCrc(0, out.data(), out.size()), 4);
    return out;
}

bool ReadPayloadCheck(const std::string& data, TPayloadCheck& check)
{
    if (data.size() != 24 || GetLittleEndian(data, 20, 4) != PayloadCrc(0, data.data(), 20)) return false;
    check.SectionLength = GetLittleEndian(data, 0, 8);
    check.DecodedSize = GetLittleEndian(data, 8, 8);
    check.SectionCrc = static_cast<std::uint32_t>(GetLittleEndian(data, 16, 4));
    return true;
}

std::uint32_t PayloadCrc(std::uint32_t crc, const char* data, std::size_t size)
{
    // liblzma's CRC-32 (the same as zlib's): the decoder brings it anyway,
    // zlib's would add its tables to the image.
    return lzma_crc32(reinterpret_cast<const std::uint8_t*>(data), size, crc);
}

bool SectionMatchesCheck(const TPayloadCheck& check, const TDecodeStream::TSource& source)
{
    std::string buffer(SourcePiece, '\0');
    std::uint64_t length = 0;
    std::uint32_t crc = 0;
    while (const std::size_t got = source(&buffer[0], buffer.size())) {
        crc = PayloadCrc(crc, buffer.data(), got);
        length += got;
    }
    return length == check.SectionLength && crc == check.SectionCrc;
}
