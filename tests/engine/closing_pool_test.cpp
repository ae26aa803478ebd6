// The closing pool: every file handed over is finished exactly once, failures
// come back as paths with their errors, Drain waits for everything pending, and destroying the
// pool (an early stop) leaves no handle unfinished. Run under ThreadSanitizer
// by the threads preset.
#include "engine/closing_pool.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <thread>

namespace {

// Every other file is written through a temporary.
std::string TemporaryOf(std::size_t i)
{
    return i % 2 == 0 ? "C:\\Program\\~st" + std::to_string(i) : std::string();
}

// Handles are indices into a table of counters; a finish is slowed down by
// yielding so that files stay pending while the script thread goes on.
struct TFakeFiles {
    explicit TFakeFiles(std::size_t count) : Closed(count) {}
    std::vector<std::atomic<int>> Closed;
    std::atomic<std::size_t> Finished{0};
    std::atomic<std::size_t> WrongTemporary{0};

    TClosingPool::TFinish Finish()
    {
        return [this](const TPendingClose& item) {
            for (int i = 0; i < 50; ++i) std::this_thread::yield();
            Closed[item.Handle].fetch_add(1);
            if (item.Temporary != TemporaryOf(item.Handle)) WrongTemporary.fetch_add(1);
            Finished.fetch_add(1);
            return item.Path.find("bad") == std::string::npos ? 0u : static_cast<std::uint32_t>(item.Handle + 1);
        };
    }
    bool EachClosedOnce() const
    {
        return std::all_of(Closed.begin(), Closed.end(), [](const std::atomic<int>& c) { return c.load() == 1; });
    }
};

// The paths of failures whose error is their handle + 1, as Finish gives them.
std::vector<std::string> CheckedPaths(const std::vector<TCloseFailure>& failures)
{
    std::vector<std::string> paths;
    for (const TCloseFailure& failure : failures)
        paths.push_back(failure.Path.find(std::to_string(failure.Error - 1) + ".dat") != std::string::npos
                            ? failure.Path
                            : failure.Path + " with the error of another file");
    return paths;
}

std::string NameOf(std::size_t i, bool bad)
{
    return "C:\\Program\\" + std::string(bad ? "bad" : "file") + std::to_string(i) + ".dat";
}

} // namespace

TEST(ClosingPool, FailedClosesAreReportedAndDrainWaitsForEveryPendingClose)
{
    const std::size_t count = 600;
    TFakeFiles files(count);
    TClosingPool pool(files.Finish(), 3, 16); // fewer slots than files: Add waits for room
    std::vector<std::string> expected;
    for (std::size_t i = 0; i < count; ++i) {
        const bool bad = i == 7 || i == 599;
        if (bad) expected.push_back(NameOf(i, true));
        pool.Add(i, NameOf(i, bad), TemporaryOf(i), i % 4 == 0);
    }
    std::vector<std::string> failed = CheckedPaths(pool.Drain());
    EXPECT_EQ(files.Finished.load(), count) << "Drain returned before every pending close was finished";
    EXPECT_TRUE(files.EachClosedOnce());
    EXPECT_EQ(files.WrongTemporary.load(), 0u) << "a file was finished with another one's temporary";
    std::sort(failed.begin(), failed.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(failed, expected);
    EXPECT_TRUE(pool.TakeFailures().empty()) << "a failure is reported once";

    // The pool goes on after a drain, as between two commands of a script.
    pool.Add(0, NameOf(0, true), TemporaryOf(0), false);
    EXPECT_EQ(CheckedPaths(pool.Drain()), std::vector<std::string>{NameOf(0, true)});
    EXPECT_EQ(files.Closed[0].load(), 2);
}

TEST(ClosingPool, AnEarlyStopLeavesNoHandleOpen)
{
    const std::size_t count = 400;
    TFakeFiles files(count);
    {
        auto pool = std::make_unique<TClosingPool>(files.Finish(), 2, 8);
        for (std::size_t i = 0; i < count; ++i) pool->Add(i, NameOf(i, false), TemporaryOf(i), false);
        // Destroyed at once, with files still pending, as when a command raises.
    }
    EXPECT_EQ(files.Finished.load(), count);
    EXPECT_TRUE(files.EachClosedOnce()) << "a handle was left open or closed twice";
}
