#include "mksetup/deflate_streams.h"

#include <libdeflate.h>

#include <algorithm>
#include <condition_variable>
#include <exception>
#include <map>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

#include "mksetup/tool_error.h"

Deflater::Deflater(int level) : compressor_(libdeflate_alloc_compressor(level))
{
    if (!compressor_) throw ToolError(ExitBadInput, "cannot set up compression level " + std::to_string(level));
}

Deflater::~Deflater()
{
    libdeflate_free_compressor(compressor_);
}

std::size_t Deflater::Bound(std::size_t size) const
{
    return libdeflate_zlib_compress_bound(compressor_, size);
}

std::size_t Deflater::CompressInto(const char* data, std::size_t size, char* out, std::size_t room) const
{
    const std::size_t written = libdeflate_zlib_compress(compressor_, data, size, out, room);
    // The bound always suffices; a zero size would mean a broken library.
    if (written == 0) throw ToolError(ExitBadInput, "compression failed");
    return written;
}

std::string Deflater::ZlibHeader() const
{
    // The header that libdeflate writes in front of every stream of this level.
    return Compress(std::string()).substr(0, 2);
}

std::size_t Deflater::RawCompressInto(const char* data, std::size_t size, char* out, std::size_t room) const
{
    const std::size_t written = libdeflate_deflate_compress(compressor_, data, size, out, room);
    if (written == 0) throw ToolError(ExitBadInput, "compression failed");
    return written;
}

std::string Deflater::Compress(const std::string& data) const
{
    std::string out(Bound(data.size()), '\0');
    out.resize(CompressInto(data.data(), data.size(), out.data(), out.size()));
    return out;
}

std::string DeflateZlibStream(const std::string& data, int level)
{
    return Deflater(level).Compress(data);
}

void RunInOrder(std::size_t count, int jobs, std::size_t parkedBytes,
                const std::function<OrderedResult(std::size_t, std::size_t)>& work)
{
    std::mutex lock;
    std::condition_variable turnChanged;
    std::size_t next = 0; // the next index to take
    std::size_t turn = 0; // the index whose result is handed on next
    std::map<std::size_t, OrderedResult> parked;
    std::size_t parkedNow = 0;
    bool stopped = false;
    std::exception_ptr failure;

    const auto fail = [&]() {
        std::lock_guard<std::mutex> guard(lock);
        if (!failure) failure = std::current_exception();
        stopped = true;
        turnChanged.notify_all();
    };
    // Runs the step of the current turn, then every parked one that follows.
    const auto handOn = [&](std::unique_lock<std::mutex>& guard, OrderedStep step) {
        for (;;) {
            guard.unlock();
            if (step) step();
            step = nullptr;
            guard.lock();
            ++turn;
            turnChanged.notify_all();
            const auto it = parked.find(turn);
            if (stopped || it == parked.end()) return;
            step = std::move(it->second.Step);
            parkedNow -= it->second.Bytes;
            parked.erase(it);
        }
    };
    const auto worker = [&](std::size_t thread) {
        for (;;) {
            std::size_t index;
            {
                std::lock_guard<std::mutex> guard(lock);
                if (stopped || next >= count) return;
                index = next++;
            }
            try {
                OrderedResult result = work(index, thread);
                std::unique_lock<std::mutex> guard(lock);
                if (index != turn && parkedNow + result.Bytes <= parkedBytes) {
                    parkedNow += result.Bytes;
                    parked.emplace(index, std::move(result));
                    continue;
                }
                turnChanged.wait(guard, [&] { return stopped || turn == index; });
                if (stopped) return;
                handOn(guard, std::move(result.Step));
            } catch (...) {
                fail();
                return;
            }
        }
    };

    const std::size_t threadCount =
        std::max<std::size_t>(1, std::min<std::size_t>(static_cast<std::size_t>(std::max(jobs, 1)), count));
    std::vector<std::thread> threads;
    for (std::size_t t = 1; t < threadCount; ++t) {
        try {
            threads.emplace_back(worker, t);
        } catch (const std::system_error&) {
            break; // fewer threads only make it slower
        }
    }
    worker(0);
    for (std::thread& thread : threads) thread.join();
    if (failure) std::rethrow_exception(failure);
}
