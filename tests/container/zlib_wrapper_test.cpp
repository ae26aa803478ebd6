#include "container/zlib_wrapper.h"

#include <algorithm>
#include <memory>

#include <gtest/gtest.h>
#include <zlib.h>

#include "container/decompression_failure.h"
#include "support/test_support.h"

namespace {

template <typename Error>
void ExpectZLibError(const std::function<void()>& call, const std::string& text, int code)
{
    try {
        call();
        ADD_FAILURE() << "expected " << text;
    } catch (const Error& error) {
        EXPECT_EQ(std::string(error.what()), text);
        EXPECT_EQ(error.ErrorCode, code);
    }
}

} // namespace

TEST(Compression, EmptyTextAtThreeLevels)
{
    EXPECT_EQ(CompressString("", LevelDefault), std::string("\x78\x9C\x03\x00\x00\x00\x00\x01", 8));
    EXPECT_EQ(CompressString("", LevelBest).substr(0, 2), "\x78\xDA");
    EXPECT_EQ(CompressString("", LevelFastest).substr(0, 2), "\x78\x01");
    EXPECT_EQ(DecompressString(CompressString("", LevelDefault)), "") << "an empty result is no failure";
}

TEST(Compression, RoundTripsAtEveryLevel)
{
    for (bool compressible : {true, false}) {
        const std::string data = MakeTestBytes(70000, compressible, 7);
        for (CompressionLevel level : {LevelNone, LevelFastest, LevelDefault, LevelBest}) {
            const std::string packed = CompressString(data, level);
            EXPECT_EQ(DecompressString(packed), data) << "level " << level;
            if (compressible && level != LevelNone) {
                EXPECT_LT(packed.size(), data.size() / 2);
            }
        }
    }
}

TEST(Decompression, ReportsDamagedStreamsWithTheirTexts)
{
    const std::string packed = CompressString(MakeTestBytes(5000, true), LevelDefault);
    ExpectZLibError<EZDecompressionError>([] { DecompressString(""); }, "stream error", -2);
    ExpectZLibError<EZDecompressionError>([&] { DecompressString(packed.substr(0, packed.size() / 2)); },
                                          "buffer error", -5);
    ExpectZLibError<EZDecompressionError>([] { DecompressString("this is no zlib stream"); }, "data error", -3);

    std::string flipped = packed;
    flipped[flipped.size() - 1] ^= 0x01;
    ExpectZLibError<EZDecompressionError>([&] { DecompressString(flipped); }, "data error", -3);
}

TEST(Decompression, StopsAtStreamEndAndAtDictionaryRequests)
{
    const std::string packed = CompressString("payload", LevelBest);
    EXPECT_EQ(DecompressString(packed + "trailing garbage"), "payload");

    // A stream made with a preset dictionary must end in an error, not a loop.
    z_stream stream{};
    ASSERT_EQ(deflateInit(&stream, 6), Z_OK);
    const char dictionary[] = "dictionary words";
    ASSERT_EQ(deflateSetDictionary(&stream, reinterpret_cast<const Bytef*>(dictionary), sizeof dictionary), Z_OK);
    std::string input = "dictionary words again", output(256, '\0');
    stream.next_in = reinterpret_cast<Bytef*>(input.data());
    stream.avail_in = static_cast<uInt>(input.size());
    stream.next_out = reinterpret_cast<Bytef*>(output.data());
    stream.avail_out = static_cast<uInt>(output.size());
    ASSERT_EQ(deflate(&stream, Z_FINISH), Z_STREAM_END);
    output.resize(stream.total_out);
    deflateEnd(&stream);
    ExpectZLibError<EZDecompressionError>([&] { DecompressString(output); }, "need dictionary", 2);
}

TEST(Decompression, GrowsTheOutputByTheRoundedInputSize)
{
    // 1,000 bytes whose stream is at most 256 bytes: the growth step is 256.
    std::string text;
    for (int i = 0; i < 100; ++i) text += "0123456789";
    const std::string packed = CompressString(text, LevelDefault);
    ASSERT_LE(packed.size(), 256u);
    DecompressTrace trace;
    const std::string result = DecompressBuffer(packed.data(), static_cast<int>(packed.size()), 0, &trace);
    EXPECT_EQ(result, text);
    EXPECT_EQ(trace.OutputBlockSizes, (std::vector<int>{256, 512, 768, 1024}));

    DecompressTrace estimated;
    EXPECT_EQ(DecompressBuffer(packed.data(), static_cast<int>(packed.size()), 1000, &estimated), text);
    EXPECT_EQ(estimated.OutputBlockSizes, (std::vector<int>{1000})) << "a right estimate takes one call";
}

TEST(Compression, AStatedSizeIsRoomTakenAtOnceButNeverBelievedBlindly)
{
    const std::string data = MakeTestBytes(300000, true, 7);
    const std::string packed = CompressString(data, LevelDefault);
    const std::string exact = DecompressString(packed, data.size());
    EXPECT_TRUE(exact == data);
    EXPECT_EQ(exact.capacity(), data.size()) << "a right size leaves nothing to grow";
    EXPECT_TRUE(DecompressString(packed, 10) == data) << "too small a size only costs growing";
    const std::string garbled = DecompressString(packed, 2000000000);
    EXPECT_TRUE(garbled == data);
    EXPECT_LT(garbled.capacity(), packed.size() * 64 + (2u << 20)) << "a garbled size is not allocated";
}

TEST(Compression, ResultCodeChecks)
{
    EXPECT_EQ(CheckCompressionResult(1), 1);
    EXPECT_EQ(CheckDecompressionResult(0), 0);
    ExpectZLibError<EZCompressionError>([] { CheckCompressionResult(-4); }, "insufficient memory", -4);
    ExpectZLibError<EZDecompressionError>([] { CheckDecompressionResult(-6); }, "incompatible version", -6);
    ExpectZLibError<EZDecompressionError>([] { CheckDecompressionResult(-7); }, "", -7);
    ExpectZLibError<EZLibError>([] { CheckCompressionResult(-1); }, "file error", -1);
}

namespace {

// A source that hands out bytes in pieces of at most step bytes.
TInflateStream::TSource PiecesOf(const std::string& bytes, std::size_t step)
{
    auto next = std::make_shared<std::size_t>(0);
    return [bytes, step, next](char* buffer, std::size_t capacity) {
        const std::size_t count = std::min({step, capacity, bytes.size() - *next});
        std::copy_n(bytes.data() + *next, count, buffer);
        *next += count;
        return count;
    };
}

// Every byte of a stream read in reads of the given size.
std::string InflateInReads(const std::string& compressed, std::size_t sourceStep, std::size_t readSize)
{
    TInflateStream stream(PiecesOf(compressed, sourceStep));
    std::string result;
    std::string buffer(readSize, '\0');
    for (;;) {
        const std::size_t got = stream.Read(&buffer[0], buffer.size());
        result.append(buffer, 0, got);
        if (got < buffer.size()) break;
    }
    EXPECT_TRUE(stream.AtEnd());
    return result;
}

} // namespace

TEST(InflateStream, GivesTheSameBytesAsTheWholeDecompressionInAnyPieces)
{
    const std::string original = MakeTestBytes(300000, true, 4) + MakeTestBytes(200000, false, 5);
    const std::string compressed = CompressString(original, LevelDefault);
    EXPECT_EQ(InflateInReads(compressed, 1 << 20, 4096), original);
    EXPECT_EQ(InflateInReads(compressed, 7, 100000), original) << "tiny source pieces";
    EXPECT_EQ(InflateInReads(compressed + "trailing bytes", 1000, 1 << 20), original)
        << "bytes behind the stream are not read as data";
    EXPECT_EQ(CheckInflateStream(PiecesOf(compressed, 65536)), original.size());
    EXPECT_EQ(InflateInReads(CompressString("", LevelDefault), 3, 10), "");

    TInflateStream stream(PiecesOf(compressed, 50000));
    EXPECT_EQ(stream.Skip(123456), 123456u);
    std::string rest(original.size(), '\0');
    rest.resize(stream.Read(&rest[0], rest.size()));
    EXPECT_EQ(rest, original.substr(123456)) << "a skip moves the stream on exactly";
}

TEST(InflateStream, ReportsDamageAsTheWholeDecompressionDoes)
{
    const std::string compressed = CompressString(MakeTestBytes(400000, true, 6), LevelDefault);
    std::string badTrailer = compressed;
    badTrailer.back() = static_cast<char>(badTrailer.back() ^ 1);
    std::string damaged = compressed;
    for (std::size_t i = damaged.size() / 2; i < damaged.size() / 2 + 64; ++i) damaged[i] = 'x';
    const std::string cut = compressed.substr(0, compressed.size() - 10);
    for (const std::string& input : {badTrailer, damaged, cut, std::string("no zlib data")}) {
        const std::string whole = FailureOf([&] { DecompressString(input); });
        ASSERT_NE(whole, "");
        EXPECT_EQ(FailureOf([&] { CheckInflateStream(PiecesOf(input, 4096)); }), whole);
        EXPECT_EQ(FailureOf([&] { InflateInReads(input, 1 << 20, 1000); }), whole);
    }
    EXPECT_EQ(FailureOf([&] { CheckInflateStream(PiecesOf(cut, 4096)); }), "buffer error -5");
    EXPECT_EQ(FailureOf([&] { CheckInflateStream(PiecesOf(badTrailer, 4096)); }), "data error -3");
}
