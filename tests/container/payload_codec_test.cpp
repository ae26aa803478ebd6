// The payload's two forms: telling them apart, decoding the solid LZMA form
// piece after piece, and the check item that finds damage in one read.
#include <gtest/gtest.h>

#include <lzma.h>

#include <algorithm>
#include <memory>

#include "container/payload_codec.h"
#include "container/zlib_wrapper.h"
#include "container/decompression_failure.h"
#include "support/test_support.h"

namespace {

// One xz stream in blocks of blockSize bytes (one block for 0).
std::string XzOf(const std::string& data, std::uint64_t blockSize = 0)
{
    lzma_stream stream = LZMA_STREAM_INIT;
    lzma_mt options{};
    options.threads = 2;
    options.block_size = blockSize;
    options.preset = 6;
    options.check = LZMA_CHECK_CRC32;
    EXPECT_EQ(lzma_stream_encoder_mt(&stream, &options), LZMA_OK);
    std::string out(lzma_stream_buffer_bound(data.size()) + 4096, '\0');
    stream.next_in = reinterpret_cast<const uint8_t*>(data.data());
    stream.avail_in = data.size();
    stream.next_out = reinterpret_cast<uint8_t*>(&out[0]);
    stream.avail_out = out.size();
    EXPECT_EQ(lzma_code(&stream, LZMA_FINISH), LZMA_STREAM_END);
    out.resize(stream.total_out);
    lzma_end(&stream);
    return out;
}

TDecodeStream::TSource PiecesOf(const std::string& bytes, std::size_t step)
{
    auto next = std::make_shared<std::size_t>(0);
    return [bytes, step, next](char* buffer, std::size_t capacity) {
        const std::size_t count = std::min({step, capacity, bytes.size() - *next});
        std::copy_n(bytes.data() + *next, count, buffer);
        *next += count;
        return count;
    };
}

std::string DecodeAll(const std::string& section, std::size_t step, unsigned threads = 1)
{
    std::unique_ptr<TDecodeStream> stream = OpenThreadedDecodeStream(PiecesOf(section, step), threads);
    std::string result, buffer(70000, '\0');
    while (std::size_t got = stream->Read(&buffer[0], buffer.size())) result.append(buffer, 0, got);
    EXPECT_TRUE(stream->AtEnd());
    return result;
}

} // namespace

TEST(PayloadCodec, TellsTheFormsApartByTheFirstBytesEvenWhenCutOrGarbled)
{
    const std::string original = MakeTestBytes(600000, true, 3) + MakeTestBytes(100000, false, 4);
    const std::string xz = XzOf(original);
    const std::string zlib = CompressString(original, LevelDefault);
    EXPECT_EQ(PayloadFormOf(xz.data(), xz.size()), TPayloadForm::Lzma);
    EXPECT_EQ(PayloadFormOf(zlib.data(), zlib.size()), TPayloadForm::Zlib);
    EXPECT_EQ(PayloadFormOf(xz.data(), 5), TPayloadForm::Zlib) << "a cut magic is no xz stream";
    EXPECT_EQ(PayloadFormOf("", 0), TPayloadForm::Zlib);

    // Both forms decode whole through the same interface, in any pieces.
    EXPECT_EQ(DecodeAll(xz, 3), original) << "the magic arrives in tiny pieces";
    EXPECT_EQ(DecodeAll(xz + "behind", 1 << 20), original);
    EXPECT_EQ(DecodeAll(zlib, 4096), original);
    EXPECT_EQ(CheckDecodeStream(PiecesOf(xz, 65536)), original.size());

    // Starts that are cut or garbled end in the zlib wrapper's failures.
    for (std::size_t cut : {0, 1, 3, 5, 6, 12, 40})
        EXPECT_NE(FailureOf([&] { CheckDecodeStream(PiecesOf(xz.substr(0, cut), 4096)); }), "") << cut;
    EXPECT_EQ(FailureOf([&] { CheckDecodeStream(PiecesOf(xz.substr(0, 5), 4096)); }), "data error -3");
    std::string garbledHeader = xz;
    garbledHeader[7] ^= 0x40; // the stream flags, which the header's CRC-32 covers
    EXPECT_EQ(FailureOf([&] { CheckDecodeStream(PiecesOf(garbledHeader, 4096)); }), "data error -3");
    EXPECT_EQ(FailureOf([&] { CheckDecodeStream(PiecesOf("\xFD" "7zXZ", 4096)); }), "data error -3");
}

TEST(PayloadCodec, DamageInTheSolidStreamRaisesAsTheZlibFormDoes)
{
    const std::string original = MakeTestBytes(500000, true, 8);
    const std::string xz = XzOf(original);
    std::string flipped = xz;
    flipped[xz.size() / 2] ^= 0x10;
    EXPECT_EQ(FailureOf([&] { DecodeAll(flipped, 4096); }), "data error -3");
    EXPECT_EQ(FailureOf([&] { DecodeAll(xz.substr(0, xz.size() - 20), 4096); }), "buffer error -5");
    EXPECT_EQ(FailureOf([&] { DecodeAll(xz.substr(0, xz.size() / 2), 4096); }), "buffer error -5");
}

TEST(PayloadCodec, BlocksDecodedOnSeveralThreadsGiveTheSameBytes)
{
    const std::string original = MakeTestBytes(1000000, true, 11);
    const std::string blocks = XzOf(original, 128 * 1024);
    EXPECT_EQ(DecodeAll(blocks, 100000, 3), original);
    EXPECT_EQ(DecodeAll(blocks, 100000, 1), original);
    std::string flipped = blocks;
    flipped[blocks.size() * 3 / 4] ^= 1;
    EXPECT_EQ(FailureOf([&] { DecodeAll(flipped, 100000, 3); }), "data error -3");
}

TEST(PayloadCheck, MatchesOnlyTheExactSectionAndRefusesAGarbledItem)
{
    const std::string section = XzOf(MakeTestBytes(200000, true, 2));
    TPayloadCheck check;
    check.SectionLength = section.size();
    check.DecodedSize = 200000;
    check.SectionCrc = PayloadCrc(0, section.data(), section.size());
    const std::string item = MakePayloadCheck(check);
    TPayloadCheck read;
    ASSERT_TRUE(ReadPayloadCheck(item, read));
    EXPECT_EQ(read.SectionLength, section.size());
    EXPECT_EQ(read.DecodedSize, 200000u);
    EXPECT_TRUE(SectionMatchesCheck(read, PiecesOf(section, 7000)));

    std::string flipped = section;
    flipped[1000] ^= 4;
    EXPECT_FALSE(SectionMatchesCheck(read, PiecesOf(flipped, 7000)));
    EXPECT_FALSE(SectionMatchesCheck(read, PiecesOf(section.substr(0, section.size() - 1), 7000)));
    EXPECT_FALSE(SectionMatchesCheck(read, PiecesOf(section + "x", 7000)));
    for (std::size_t i = 0; i < item.size(); ++i) {
        std::string garbled = item;
        garbled[i] ^= 1;
        EXPECT_FALSE(ReadPayloadCheck(garbled, read)) << "byte " << i;
    }
    EXPECT_FALSE(ReadPayloadCheck(item.substr(0, 23), read));
}
