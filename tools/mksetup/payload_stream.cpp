#include "mksetup/payload_stream.h"

#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

#include "mksetup/deflate_streams.h"
#include "mksetup/mapped_file.h"
#include "mksetup/tool_error.h"

namespace {

// While a long compression runs over mapped files, takes their pages out of
// the resident memory now and then: the compressor only works near its
// current place, and what it touches again comes back from the file cache.
class ResidentReleaser {
public:
    ResidentReleaser(const MappedFile& input, const MappedFile& output) : thread_([&, this] { Run(input, output); }) {}
    ~ResidentReleaser()
    {
        {
            std::lock_guard<std::mutex> guard(lock_);
            done_ = true;
        }
        wake_.notify_all();
        thread_.join();
    }

private:
    void Run(const MappedFile& input, const MappedFile& output)
    {
        std::unique_lock<std::mutex> guard(lock_);
        while (!wake_.wait_for(guard, std::chrono::milliseconds(200), [this] { return done_; })) {
            input.Release();
            output.Release();
        }
    }

    std::mutex lock_;
    std::condition_variable wake_;
    bool done_ = false;
    std::thread thread_;
};


// The Adler-32 of a mapped file, taken piece by piece with the pages given
// back after each piece.
std::uint32_t MappedAdler32(const MappedFile& input)
{
    constexpr std::uint64_t Piece = 8 << 20;
    uLong adler = adler32(0L, Z_NULL, 0);
    for (std::uint64_t done = 0; done < input.Size(); done += Piece) {
        const std::uint64_t count = std::min(Piece, input.Size() - done);
        adler = adler32(adler, reinterpret_cast<const Bytef*>(input.Data() + done), static_cast<uInt>(count));
        input.Release();
    }
    return static_cast<std::uint32_t>(adler);
}

} // namespace

std::uint64_t DeflateFileInto(const std::string& inputFile, const std::string& outputFile, std::uint64_t offset,
                              int level)
{
    // libdeflate's zlib call ends with one fast pass over the whole input for
    // its checksum, which would bring all of it into memory between two
    // releases; so the stream is put together here from the same parts.
    const Deflater deflater(level);
    const std::string header = deflater.ZlibHeader();
    std::uint64_t written = 0;
    {
        const MappedFile input = MappedFile::ForReading(inputFile);
        const std::uint64_t room = deflater.Bound(static_cast<std::size_t>(input.Size()));
        const MappedFile output = MappedFile::ForWriting(outputFile, offset + room);
        char* const out = output.Data() + offset;
        std::copy(header.begin(), header.end(), out);
        {
            const ResidentReleaser releaser(input, output);
            written = header.size() + deflater.RawCompressInto(input.Data(), static_cast<std::size_t>(input.Size()),
                                                               out + header.size(), static_cast<std::size_t>(room - header.size() - 4));
        }
        const std::uint32_t adler = MappedAdler32(input);
        for (int shift = 24; shift >= 0; shift -= 8) out[written++] = static_cast<char>((adler >> shift) & 0xFF);
    }
    std::error_code error;
    std::filesystem::resize_file(outputFile, offset + written, error);
    if (error) throw ToolError(ExitWriteFailed, "cannot write " + outputFile + ": " + error.message());
    return written;
}

bool StreamInflatesTo(const std::string& file, std::uint64_t offset, std::uint64_t length,
                      const std::string& expectedFile)
{
    std::ifstream in(file, std::ios::binary), expected(expectedFile, std::ios::binary);
    if (!in.seekg(static_cast<std::streamoff>(offset)) || !expected) return false;
    z_stream stream{};
    if (inflateInit(&stream) != Z_OK) return false;
    constexpr std::size_t Chunk = 1 << 20;
    std::vector<char> input(Chunk), output(Chunk), reference(Chunk);
    int status = Z_OK;
    while (status == Z_OK) {
        if (stream.avail_in == 0 && length > 0) {
            const std::size_t count = static_cast<std::size_t>(std::min<std::uint64_t>(length, Chunk));
            if (!in.read(input.data(), static_cast<std::streamsize>(count))) break;
            length -= count;
            stream.next_in = reinterpret_cast<Bytef*>(input.data());
            stream.avail_in = static_cast<uInt>(count);
        }
        stream.next_out = reinterpret_cast<Bytef*>(output.data());
        stream.avail_out = static_cast<uInt>(Chunk);
        status = inflate(&stream, Z_NO_FLUSH);
        const std::size_t produced = Chunk - stream.avail_out;
        if (status == Z_BUF_ERROR && produced == 0 && stream.avail_in == 0 && length == 0) break; // cut off
        if (status == Z_BUF_ERROR) status = Z_OK;
        if (!expected.read(reference.data(), static_cast<std::streamsize>(produced)) ||
            !std::equal(output.begin(), output.begin() + static_cast<std::ptrdiff_t>(produced), reference.begin()))
            status = Z_DATA_ERROR;
    }
    inflateEnd(&stream);
    // The stream must end with the section, and the expected bytes with it.
    return status == Z_STREAM_END && stream.avail_in == 0 && length == 0 &&
           expected.peek() == std::char_traits<char>::eof();
}
