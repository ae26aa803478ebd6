#include "mksetup/xz_streams.h"

#include <gtest/gtest.h>
#include <lzma.h>

#include <vector>

#include "support/test_support.h"

namespace {

// The uncompressed size of every block, read from the stream's index.
std::vector<lzma_vli> BlockSizes(const std::string& stream)
{
    std::vector<lzma_vli> sizes;
    if (stream.size() < 2 * LZMA_STREAM_HEADER_SIZE) return sizes;
    lzma_stream_flags footer;
    const auto* end = reinterpret_cast<const std::uint8_t*>(stream.data() + stream.size());
    if (lzma_stream_footer_decode(&footer, end - LZMA_STREAM_HEADER_SIZE) != LZMA_OK) return sizes;
    const std::size_t indexAt = stream.size() - LZMA_STREAM_HEADER_SIZE - footer.backward_size;
    lzma_index* index = nullptr;
    std::uint64_t memoryLimit = UINT64_MAX;
    std::size_t position = 0;
    if (lzma_index_buffer_decode(&index, &memoryLimit, nullptr,
                                 reinterpret_cast<const std::uint8_t*>(stream.data() + indexAt), &position,
                                 footer.backward_size) != LZMA_OK)
        return sizes;
    lzma_index_iter iter;
    lzma_index_iter_init(&iter, index);
    while (!lzma_index_iter_next(&iter, LZMA_INDEX_ITER_BLOCK)) sizes.push_back(iter.block.uncompressed_size);
    lzma_index_end(index, nullptr);
    return sizes;
}

} // namespace

TEST(XzStreams, APayloadBeyondOneBlockIsCutIntoEqualBlocksWhateverTheThreads)
{
    TempDir dir;
    const std::string input = dir.File("payload"), first = dir.File("one"), second = dir.File("three");
    // Level 1 has a 256 KiB dictionary, so blocks of at most 768 KiB: two.
    WriteTestFile(input, MakeTestBytes(1000001, true, 7));
    WriteTestFile(first, "");
    WriteTestFile(second, "");
    XzSettings settings;
    settings.Level = 1;
    const std::uint64_t size = XzFileInto(input, first, 0, settings);
    settings.Threads = 3;
    XzFileInto(input, second, 0, settings);

    const std::string stream = ReadTestFile(first);
    EXPECT_EQ(stream.size(), size);
    EXPECT_TRUE(stream == ReadTestFile(second));
    EXPECT_EQ(BlockSizes(stream), (std::vector<lzma_vli>{500001, 500000}));
    EXPECT_TRUE(SectionDecodesTo(first, 0, size, input));
}
