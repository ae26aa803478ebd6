#pragma once
// zlib streams (RFC 1950) made as small as libdeflate's levels allow; any
// zlib inflate reads them. Output depends on the input and level only.
#include <cstddef>
#include <functional>
#include <memory>
#include <string>

// libdeflate's levels run from 1 to 12; 12 gives the smallest streams.
constexpr int SmallestLevel = 12;

struct libdeflate_compressor;

// One compressor, kept for many streams (setting one up at the high levels
// costs more than a small file's compression).
class Deflater {
public:
    explicit Deflater(int level); // throws ToolError when the library cannot be set up
    ~Deflater();
    Deflater(const Deflater&) = delete;
    Deflater& operator=(const Deflater&) = delete;

    std::string Compress(const std::string& data) const;
    // The largest stream that size bytes can give.
    std::size_t Bound(std::size_t size) const;
    // Compresses into out (room for Bound(size) bytes); returns the stream's size.
    std::size_t CompressInto(const char* data, std::size_t size, char* out, std::size_t room) const;
    // The parts of the same zlib stream: its 2-byte header (it depends on the
    // level only), then the raw deflate data, then the Adler-32 of the data,
    // big-endian.
    std::string ZlibHeader() const;
    std::size_t RawCompressInto(const char* data, std::size_t size, char* out, std::size_t room) const;

private:
    libdeflate_compressor* compressor_;
};

std::string DeflateZlibStream(const std::string& data, int level);

// Runs work(index, thread) for every index below count on up to jobs threads
// (thread is the worker's number, below jobs, for state kept per thread).
// Each call returns what is to be done with its result and the bytes that
// result holds; the steps run one at a time in index order. A result that
// cannot be handed on yet is parked while the parked ones stay within
// parkedBytes, and its thread goes on with the next index; otherwise the
// thread waits for its turn. So one large file does not hold the other
// threads back, and memory stays within parkedBytes + jobs results.
// The first exception thrown by either part stops the others and is rethrown.
using OrderedStep = std::function<void()>;
struct OrderedResult {
    OrderedStep Step;
    std::size_t Bytes = 0;
};
void RunInOrder(std::size_t count, int jobs, std::size_t parkedBytes,
                const std::function<OrderedResult(std::size_t, std::size_t)>& work);
