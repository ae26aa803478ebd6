#include "payload_content.h"

#include <gtest/gtest.h>
#include <zlib.h>

namespace {

double ZlibRatio(const std::string& data)
{
    uLongf size = compressBound(data.size());
    std::string out(size, '\0');
    EXPECT_EQ(compress2(reinterpret_cast<Bytef*>(&out[0]), &size, reinterpret_cast<const Bytef*>(data.data()),
                        data.size(), 6),
              Z_OK);
    return static_cast<double>(size) / static_cast<double>(data.size());
}

TPlannedFile File(TContentKind kind, std::uint64_t size, std::uint64_t seed)
{
    TPlannedFile file;
    file.Kind = kind;
    file.Size = size;
    file.Seed = seed;
    return file;
}

} // namespace

TEST(PayloadContent, ExactSizeSameBytesForTheSameSeedAndKindDecidesCompressibility)
{
    struct {
        TContentKind Kind;
        double MinRatio, MaxRatio;
    } const kinds[] = {{TContentKind::Text, 0.15, 0.50},
                       {TContentKind::Random, 0.99, 1.01},
                       {TContentKind::Structured, 0.30, 0.85}};
    for (const auto& k : kinds) {
        std::string a, b, c;
        for (std::uint64_t size : {1ull, 200ull, 20001ull}) {
            MakeContent(File(k.Kind, size, 5), a);
            EXPECT_EQ(a.size(), size) << "kind " << static_cast<int>(k.Kind);
        }
        MakeContent(File(k.Kind, 1000000, 5), a);
        MakeContent(File(k.Kind, 1000000, 5), b);
        MakeContent(File(k.Kind, 1000000, 6), c);
        EXPECT_EQ(a, b) << "kind " << static_cast<int>(k.Kind) << ": the seed must decide the bytes";
        EXPECT_NE(a, c) << "kind " << static_cast<int>(k.Kind) << ": another seed, other bytes";
        const double ratio = ZlibRatio(a);
        EXPECT_GE(ratio, k.MinRatio) << "kind " << static_cast<int>(k.Kind);
        EXPECT_LE(ratio, k.MaxRatio) << "kind " << static_cast<int>(k.Kind);
    }
}

TEST(PayloadContent, TextIsPrintableWithWindowsLineBreaks)
{
    for (std::uint64_t seed = 1; seed <= 6; ++seed) { // covers every text flavour
        std::string text;
        MakeContent(File(TContentKind::Text, 50000, seed), text);
        std::size_t lineBreaks = 0;
        for (std::size_t i = 0; i < text.size(); ++i) {
            const unsigned char c = static_cast<unsigned char>(text[i]);
            ASSERT_TRUE((c >= 32 && c < 127) || c == '\r' || c == '\n') << "byte " << int(c) << " at " << i;
            if (c == '\n') {
                ++lineBreaks;
                ASSERT_GT(i, 0u);
                EXPECT_EQ(text[i - 1], '\r') << "line break without CR at " << i;
            }
        }
        EXPECT_GT(lineBreaks, 50u) << "seed " << seed;
    }
}
