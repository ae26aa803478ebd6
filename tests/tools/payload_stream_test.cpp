// The pieces of the bounded-memory packer: compression in order on several
// threads, mapped files whose pages are given back, and the check of a
// payload stream written through them.
#include "mksetup/payload_stream.h"

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>

#include "mksetup/deflate_streams.h"
#include "mksetup/mapped_file.h"
#include "mksetup/tool_error.h"
#include "support/test_support.h"

TEST(RunInOrder, ResultsAreHandedOnInOrderWithinTheirBoundAndAFailureStopsTheRest)
{
    constexpr std::size_t Count = 60;
    constexpr int Jobs = 4;
    for (const std::size_t parkedBytes : {std::size_t(0), std::size_t(10)}) {
        std::vector<std::size_t> order;
        std::atomic<int> inFlight{0}, mostInFlight{0};
        RunInOrder(Count, Jobs, parkedBytes, [&](std::size_t index, std::size_t thread) -> OrderedResult {
            EXPECT_LT(thread, static_cast<std::size_t>(Jobs));
            const int now = ++inFlight;
            for (int seen = mostInFlight; now > seen && !mostInFlight.compare_exchange_weak(seen, now);) {
            }
            // Uneven work, so that later indexes often finish first.
            const std::string bytes = DeflateZlibStream(MakeTestBytes((Count - index) * 700, true, 9), 6);
            return {[&, index, bytes] {
                        order.push_back(index);
                        --inFlight;
                    },
                    1};
        });
        ASSERT_EQ(order.size(), Count);
        for (std::size_t i = 0; i < Count; ++i) EXPECT_EQ(order[i], i);
        // Each result counts 1 byte: no more than jobs plus parkedBytes exist at once.
        EXPECT_LE(mostInFlight.load(), Jobs + static_cast<int>(parkedBytes)) << parkedBytes;
    }

    std::vector<std::size_t> order;
    EXPECT_THROW(RunInOrder(Count, Jobs, 1000,
                            [&](std::size_t index, std::size_t) -> OrderedResult {
                                if (index == 7) throw std::runtime_error("piece 7 is unreadable");
                                return {[&, index] { order.push_back(index); }, 1};
                            }),
                 std::runtime_error);
    EXPECT_LE(order.size(), 7u) << "nothing behind the failed piece is handed on";
}

TEST(PayloadStream, AStreamChecksOutOnlyAgainstExactlyTheBytesItInflatesTo)
{
    TempDir dir;
    const std::string payload = MakeTestBytes(3 << 20, true, 4);
    const std::string stream = DeflateZlibStream(payload, 6);
    WriteTestFile(dir.File("installer"), "HEAD" + stream + "TAIL");
    WriteTestFile(dir.File("payload"), payload);
    WriteTestFile(dir.File("longer"), payload + "x");
    std::string changed = payload;
    changed[2 << 20] ^= 1;
    WriteTestFile(dir.File("changed"), changed);

    EXPECT_TRUE(StreamInflatesTo(dir.File("installer"), 4, stream.size(), dir.File("payload")));
    EXPECT_FALSE(StreamInflatesTo(dir.File("installer"), 4, stream.size(), dir.File("longer")));
    EXPECT_FALSE(StreamInflatesTo(dir.File("installer"), 4, stream.size(), dir.File("changed")));
    EXPECT_FALSE(StreamInflatesTo(dir.File("installer"), 4, stream.size() - 1, dir.File("payload"))) << "cut off";
    EXPECT_FALSE(StreamInflatesTo(dir.File("installer"), 4, stream.size() + 2, dir.File("payload")))
        << "bytes behind the stream within the section";
}

TEST(MappedFile, ReleasedPagesKeepWhatWasWrittenAndReadBackFromTheFile)
{
    TempDir dir;
    const std::string first = MakeTestBytes(300000, false, 5), second = MakeTestBytes(200000, true, 6);
    WriteTestFile(dir.File("out"), "HEAD");
    {
        const MappedFile out = MappedFile::ForWriting(dir.File("out"), 4 + first.size() + second.size());
        std::copy(first.begin(), first.end(), out.Data() + 4);
        out.Release(); // while written pages are only in the mapping
        std::copy(second.begin(), second.end(), out.Data() + 4 + first.size());
        out.Release();
        EXPECT_EQ(std::string(out.Data(), 4), "HEAD") << "the file's own bytes are kept";
    }
    EXPECT_EQ(ReadTestFile(dir.File("out")), "HEAD" + first + second);

    const MappedFile in = MappedFile::ForReading(dir.File("out"));
    ASSERT_EQ(in.Size(), 4 + first.size() + second.size());
    in.Release();
    EXPECT_TRUE(std::string(in.Data() + 4, first.size()) == first);
    EXPECT_THROW(MappedFile::ForReading(dir.File("missing")), ToolError);
}
