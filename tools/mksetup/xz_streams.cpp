#include "mksetup/xz_streams.h"

#include <lzma.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <vector>

#include "container/payload_codec.h"
#include "container/zlib_wrapper.h"
#include "mksetup/mapped_file.h"
#include "mksetup/tool_error.h"

namespace {

constexpr std::size_t Chunk = 1 << 20;

struct EncoderOptions {
    lzma_options_lzma Lzma{};
    lzma_filter Filters[2]{};
    lzma_mt Mt{};
};

// Preset 9 for the top levels, with matches looked for up to 128 bytes: as
// small as preset 9 extreme on program files (+0.04%), smaller on text and
// small files, and four times as fast on text, where the extreme search
// gains nothing. The dictionary is never larger than a block of a set size
// (a block is compressed on its own), and pb=0 suits program files whose
// structures are not 4-byte aligned.
constexpr std::uint32_t TopLevelNiceLength = 128;

void SetUp(const XzSettings& settings, EncoderOptions& options)
{
    const int level = std::clamp(settings.Level, 1, 12);
    const std::uint32_t preset = level >= 10 ? 9 : static_cast<std::uint32_t>(level - 1);
    if (lzma_lzma_preset(&options.Lzma, preset)) throw ToolError(ExitBadInput, "cannot set up LZMA2");
    if (level >= 10) options.Lzma.nice_len = TopLevelNiceLength;
    if (settings.BlockSize > 0)
        options.Lzma.dict_size = static_cast<std::uint32_t>(std::min<std::uint64_t>(
            options.Lzma.dict_size, std::max<std::uint64_t>(settings.BlockSize, LZMA_DICT_SIZE_MIN)));
    if (settings.InputSize > 0)
        options.Lzma.dict_size = static_cast<std::uint32_t>(std::min<std::uint64_t>(
            options.Lzma.dict_size, std::max<std::uint64_t>(settings.InputSize, LZMA_DICT_SIZE_MIN)));
    options.Lzma.pb = 0;
    options.Filters[0] = {LZMA_FILTER_LZMA2, &options.Lzma};
    options.Filters[1] = {LZMA_VLI_UNKNOWN, nullptr};
    options.Mt.threads = static_cast<std::uint32_t>(std::max(1, settings.Threads));
    options.Mt.block_size = settings.BlockSize;
    // liblzma's own blocks are three times the dictionary. A larger payload
    // is cut into as many blocks as that gives, but of equal size, so that
    // the encoder threads end together (300 MB: two of 150 instead of 192
    // and 108). The blocks depend on the input alone, never on the threads.
    if (settings.BlockSize == 0 && settings.InputSize > 0) {
        const std::uint64_t largest = 3 * static_cast<std::uint64_t>(options.Lzma.dict_size);
        const std::uint64_t blocks = (settings.InputSize + largest - 1) / largest;
        options.Mt.block_size = (settings.InputSize + blocks - 1) / blocks;
    }
    options.Mt.filters = options.Filters;
    // No check per block: the installer compares the CRC-32 of the whole
    // section (the check item) before it decodes.
    options.Mt.check = LZMA_CHECK_NONE;
}

class Encoder {
public:
    explicit Encoder(const XzSettings& settings)
    {
        SetUp(settings, options_);
        if (lzma_stream_encoder_mt(&stream_, &options_.Mt) != LZMA_OK)
            throw ToolError(ExitBadInput, "cannot set up the LZMA2 encoder (memory?)");
    }
    ~Encoder() { lzma_end(&stream_); }
    Encoder(const Encoder&) = delete;
    Encoder& operator=(const Encoder&) = delete;
    lzma_stream& Stream() { return stream_; }

private:
    EncoderOptions options_;
    lzma_stream stream_ = LZMA_STREAM_INIT;
};

} // namespace

std::uint64_t XzEncoderMemory(const XzSettings& settings)
{
    EncoderOptions options;
    SetUp(settings, options);
    return lzma_stream_encoder_mt_memusage(&options.Mt);
}

std::uint64_t XzFileInto(const std::string& inputFile, const std::string& outputFile, std::uint64_t offset,
                         const XzSettings& settings)
{
    std::ifstream in(inputFile, std::ios::binary);
    if (!in) throw ToolError(ExitWriteFailed, "cannot read " + inputFile);
    FileWriter out(outputFile, false);
    XzSettings sized = settings;
    std::error_code sizeError;
    sized.InputSize = std::filesystem::file_size(inputFile, sizeError);
    if (sizeError) throw ToolError(ExitWriteFailed, "cannot read " + inputFile);
    Encoder encoder(sized);
    lzma_stream& stream = encoder.Stream();
    std::vector<char> input(Chunk), output(Chunk);
    std::uint64_t written = 0;
    lzma_action action = LZMA_RUN;
    for (;;) {
        if (stream.avail_in == 0 && action == LZMA_RUN) {
            in.read(input.data(), static_cast<std::streamsize>(input.size()));
            if (in.bad()) throw ToolError(ExitWriteFailed, "cannot read " + inputFile);
            stream.next_in = reinterpret_cast<const std::uint8_t*>(input.data());
            stream.avail_in = static_cast<std::size_t>(in.gcount());
            if (in.eof()) action = LZMA_FINISH;
        }
        stream.next_out = reinterpret_cast<std::uint8_t*>(output.data());
        stream.avail_out = output.size();
        const lzma_ret result = lzma_code(&stream, action);
        const std::size_t produced = output.size() - stream.avail_out;
        if (produced > 0) out.WriteAt(offset + written, output.data(), produced);
        written += produced;
        if (result == LZMA_STREAM_END) break;
        if (result != LZMA_OK)
            throw ToolError(result == LZMA_MEM_ERROR ? ExitBadInput : ExitWriteFailed, "LZMA2 compression failed");
    }
    out.Close();
    std::error_code error;
    std::filesystem::resize_file(outputFile, offset + written, error);
    if (error) throw ToolError(ExitWriteFailed, "cannot write " + outputFile + ": " + error.message());
    return written;
}

bool SectionDecodesTo(const std::string& file, std::uint64_t offset, std::uint64_t length,
                      const std::string& expectedFile)
{
    std::ifstream in(file, std::ios::binary), expected(expectedFile, std::ios::binary);
    if (!in.seekg(static_cast<std::streamoff>(offset)) || !expected) return false;
    std::uint64_t left = length;
    try {
        std::unique_ptr<TDecodeStream> stream =
            OpenThreadedDecodeStream([&](char* buffer, std::size_t capacity) -> std::size_t {
                const std::size_t count = static_cast<std::size_t>(std::min<std::uint64_t>(left, capacity));
                if (count == 0 || !in.read(buffer, static_cast<std::streamsize>(count))) return 0;
                left -= count;
                return count;
            }, DecoderThreads());
        std::vector<char> output(Chunk), reference(Chunk);
        for (;;) {
            const std::size_t got = stream->Read(output.data(), output.size());
            if (got > 0 && (!expected.read(reference.data(), static_cast<std::streamsize>(got)) ||
                            !std::equal(output.begin(), output.begin() + static_cast<std::ptrdiff_t>(got), reference.begin())))
                return false;
            if (got < output.size()) break;
        }
    } catch (const EZLibError&) {
        return false;
    }
    // The stream must end with the section, and the expected bytes with it.
    return left == 0 && expected.peek() == std::char_traits<char>::eof();
}

std::uint32_t FileCrc(const std::string& file, std::uint64_t offset, std::uint64_t length)
{
    std::ifstream in(file, std::ios::binary);
    if (!in.seekg(static_cast<std::streamoff>(offset))) throw ToolError(ExitWriteFailed, "cannot read back " + file);
    std::vector<char> buffer(Chunk);
    std::uint32_t crc = 0;
    while (length > 0) {
        const std::size_t count = static_cast<std::size_t>(std::min<std::uint64_t>(length, buffer.size()));
        if (!in.read(buffer.data(), static_cast<std::streamsize>(count)))
            throw ToolError(ExitWriteFailed, "cannot read back " + file);
        crc = PayloadCrc(crc, buffer.data(), count);
        length -= count;
    }
    return crc;
}

bool StubReadsSolidForm(const std::string& image)
{
    return image.find(std::string(SectionSetupSum) + '\0') != std::string::npos;
}
