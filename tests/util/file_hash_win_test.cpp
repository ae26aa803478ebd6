#include "util/file_hash.h"

#include <windows.h>

#include <gtest/gtest.h>

#include "support/test_support.h"
#include "util/win_handles.h"

namespace {

std::string Hex(const TSha256& digest)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string hex;
    for (unsigned char byte : digest) {
        hex += digits[byte >> 4];
        hex += digits[byte & 15];
    }
    return hex;
}

} // namespace

TEST(FileHash, TheSystemsSha256OfFilesAndTheHexOfScripts)
{
    TempDir dir;
    TFileHasher hasher;
    TSha256 digest{};
    unsigned long error = 0;
    // FIPS 180-4's examples; a million bytes span several read chunks.
    const struct {
        std::string bytes, hex;
    } vectors[] = {
        {"", "E3B0C44298FC1C149AFBF4C8996FB92427AE41E4649B934CA495991B7852B855"},
        {"abc", "BA7816BF8F01CFEA414140DE5DAE2223B00361A396177A9CB410FF61F20015AD"},
        {std::string(1000000, 'a'), "CDC76E5C9914FB9281A1C7E284D73E67F1809A48A497200E046D39CCC7112CD0"},
    };
    for (const auto& vector : vectors) {
        WriteTestFile(dir.File("f"), vector.bytes);
        ASSERT_TRUE(hasher.HashFile(dir.File("f"), digest, error)) << vector.bytes.size() << " bytes";
        EXPECT_EQ(Hex(digest), vector.hex);
        TSha256 parsed{};
        ASSERT_TRUE(ParseSha256Hex(vector.hex, parsed));
        EXPECT_EQ(parsed, digest);
    }
    TSha256 lower{};
    EXPECT_TRUE(ParseSha256Hex("ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad", lower));
    EXPECT_EQ(Hex(lower), vectors[1].hex);
    EXPECT_FALSE(ParseSha256Hex(vectors[1].hex.substr(1), lower)) << "63 digits";
    EXPECT_FALSE(ParseSha256Hex("G" + vectors[1].hex.substr(1), lower)) << "not a digit";

    EXPECT_FALSE(hasher.HashFile(dir.File("missing"), digest, error));
    EXPECT_EQ(error, static_cast<unsigned long>(ERROR_FILE_NOT_FOUND));
    // Another program holding the file without sharing: it cannot be read.
    FileHandle held(CreateFileA(dir.File("f").c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(held);
    EXPECT_FALSE(hasher.HashFile(dir.File("f"), digest, error));
    EXPECT_EQ(error, static_cast<unsigned long>(ERROR_SHARING_VIOLATION));
}
