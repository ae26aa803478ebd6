#include "mksetup/deflate_streams.h"

#include <libdeflate.h>

#include <algorithm>
#include <atomic>
#include <exception>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>

#include "mksetup/tool_error.h"

namespace {

struct CompressorFree {
    void operator()(libdeflate_compressor* compressor) const { libdeflate_free_compressor(compressor); }
};
using Compressor = std::unique_ptr<libdeflate_compressor, CompressorFree>;

Compressor MakeCompressor(int level)
{
    Compressor compressor(libdeflate_alloc_compressor(level));
    if (!compressor) throw ToolError(ExitBadInput, "cannot set up compression level " + std::to_string(level));
    return compressor;
}

std::string Deflate(libdeflate_compressor* compressor, const std::string& data)
{
    const std::size_t bound = libdeflate_zlib_compress_bound(compressor, data.size());
    std::string out(bound, '\0');
    const std::size_t size = libdeflate_zlib_compress(compressor, data.data(), data.size(), out.data(), bound);
    // The bound always suffices; a zero size would mean a broken library.
    if (size == 0) throw ToolError(ExitBadInput, "compression failed");
    out.resize(size);
    return out;
}

} // namespace

std::string DeflateZlibStream(const std::string& data, int level)
{
    return Deflate(MakeCompressor(level).get(), data);
}

std::vector<std::string> DeflateAll(const std::vector<const std::string*>& inputs, int level, int jobs,
                                    const std::function<void(std::size_t, std::size_t)>& progress)
{
    std::vector<std::string> results(inputs.size());
    std::atomic<std::size_t> next{0};
    std::mutex lock;
    std::size_t done = 0;
    std::exception_ptr failure;

    // Larger inputs first keeps one big file from finishing last on its own.
    std::vector<std::size_t> order(inputs.size());
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::stable_sort(order.begin(), order.end(),
                     [&](std::size_t a, std::size_t b) { return inputs[a]->size() > inputs[b]->size(); });

    const auto worker = [&]() {
        try {
            Compressor compressor = MakeCompressor(level);
            for (std::size_t k; (k = next++) < order.size();) {
                const std::size_t i = order[k];
                results[i] = Deflate(compressor.get(), *inputs[i]);
                std::lock_guard<std::mutex> guard(lock);
                ++done;
                if (progress) progress(done, inputs.size());
            }
        } catch (...) {
            std::lock_guard<std::mutex> guard(lock);
            if (!failure) failure = std::current_exception();
            next = order.size();
        }
    };

    const std::size_t threadCount =
        std::max<std::size_t>(1, std::min<std::size_t>(static_cast<std::size_t>(std::max(jobs, 1)), inputs.size()));
    std::vector<std::thread> threads;
    for (std::size_t t = 1; t < threadCount; ++t) {
        try {
            threads.emplace_back(worker);
        } catch (const std::system_error&) {
            break; // fewer threads only make it slower
        }
    }
    worker();
    for (std::thread& thread : threads) thread.join();
    if (failure) std::rethrow_exception(failure);
    return results;
}
