#include "container/zlib_wrapper.h"

#include <gtest/gtest.h>
#include <zlib.h>

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

TEST(Compression, ResultCodeChecks)
{
    EXPECT_EQ(CheckCompressionResult(1), 1);
    EXPECT_EQ(CheckDecompressionResult(0), 0);
    ExpectZLibError<EZCompressionError>([] { CheckCompressionResult(-4); }, "insufficient memory", -4);
    ExpectZLibError<EZDecompressionError>([] { CheckDecompressionResult(-6); }, "incompatible version", -6);
    ExpectZLibError<EZDecompressionError>([] { CheckDecompressionResult(-7); }, "", -7);
    ExpectZLibError<EZLibError>([] { CheckCompressionResult(-1); }, "file error", -1);
}
