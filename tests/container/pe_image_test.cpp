// The PE header fields behind signing: the security directory, a certificate
// table at the end of the file, and the image checksum, on crafted headers
// (every truncation and bad field must give false, never a crash) and on the
// built Setup.exe.
#include "container/pe_image.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

#include "util/file_helpers.h"

namespace {

void Put32(std::string& bytes, std::size_t at, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

void Put16(std::string& bytes, std::size_t at, std::uint16_t value)
{
    bytes[at] = static_cast<char>(value & 0xFF);
    bytes[at + 1] = static_cast<char>(value >> 8);
}

const std::size_t PeAt = 0x80;
const std::size_t OptionalAt = PeAt + 24;

// A header of the given kind with 16 data directories, followed by filler
// bytes up to size.
std::string CraftedImage(bool plus, std::size_t size = 0x400, std::size_t peAt = PeAt)
{
    std::string image(size, '\0');
    image[0] = 'M';
    image[1] = 'Z';
    Put32(image, 0x3C, static_cast<std::uint32_t>(peAt));
    image.replace(peAt, 4, std::string("PE\0\0", 4));
    Put16(image, peAt + 20, plus ? 240 : 224);
    Put16(image, peAt + 24, plus ? 0x20B : 0x10B);
    Put32(image, peAt + 24 + (plus ? 108 : 92), 16);
    for (std::size_t i = 0x200; i < size; ++i) image[i] = static_cast<char>(i * 7 + 3);
    return image;
}

std::size_t SecurityEntryAt(bool plus)
{
    return OptionalAt + (plus ? 112 : 96) + 4 * 8;
}

// Appends a certificate table of the given size and points the entry at it.
std::string Signed(std::string image, bool plus, std::uint32_t certificateSize)
{
    const std::size_t offset = image.size();
    image += std::string(certificateSize, '\x30');
    Put32(image, SecurityEntryAt(plus), static_cast<std::uint32_t>(offset));
    Put32(image, SecurityEntryAt(plus) + 4, certificateSize);
    return image;
}

} // namespace

TEST(PeImage, CertificateAtTheEndIsFoundAndDroppedInBothKinds)
{
    for (const bool plus : {false, true}) {
        SCOPED_TRACE(plus ? "PE32+" : "PE32");
        const std::string unsignedImage = CraftedImage(plus);
        std::uint32_t offset = 1, size = 1;
        ASSERT_TRUE(PeSecurityDirectory(unsignedImage, offset, size));
        EXPECT_EQ(offset, 0u);
        EXPECT_EQ(size, 0u);
        std::size_t at = 1;
        EXPECT_FALSE(PeCertificateEndsFile(unsignedImage, at));

        std::string image = Signed(unsignedImage, plus, 24);
        ASSERT_TRUE(PeCertificateEndsFile(image, at));
        EXPECT_EQ(at, unsignedImage.size());
        ASSERT_TRUE(DropPeCertificate(image));
        EXPECT_EQ(image, unsignedImage) << "only the table goes, and the entry is zero again";
        EXPECT_FALSE(DropPeCertificate(image));

        // A table that does not end the file (bytes appended behind it, or an
        // entry that claims more than there is) is not the signature.
        std::string appended = Signed(unsignedImage, plus, 24) + "x";
        EXPECT_FALSE(PeCertificateEndsFile(appended, at));
        EXPECT_FALSE(DropPeCertificate(appended));
        std::string pastEnd = Signed(unsignedImage, plus, 24);
        Put32(pastEnd, SecurityEntryAt(plus) + 4, 25);
        EXPECT_FALSE(PeCertificateEndsFile(pastEnd, at));
        Put32(pastEnd, SecurityEntryAt(plus), 0xFFFFFFF0u);
        EXPECT_FALSE(PeCertificateEndsFile(pastEnd, at));

        // The image part of a signed file, cut before its table, keeps the
        // entry pointing past its end until it is cleared.
        std::string imagePart = Signed(unsignedImage, plus, 24).substr(0, unsignedImage.size());
        ASSERT_TRUE(PeSecurityDirectory(imagePart, offset, size));
        EXPECT_EQ(offset, unsignedImage.size());
        // Joined with sections of odd length: a zero byte between keeps the
        // file even, the checksum is that of the final bytes.
        for (const std::string& sections : {std::string("\xF7sections"), std::string("\xF7section")}) {
            const std::string joined = UnsignedPeFile(imagePart, sections);
            ASSERT_TRUE(PeSecurityDirectory(joined, offset, size));
            EXPECT_EQ(offset + size, 0u);
            EXPECT_EQ(joined.size() % 2, 0u);
            EXPECT_EQ(joined.substr(joined.size() - sections.size()), sections);
            EXPECT_EQ(joined.compare(0x200, imagePart.size() - 0x200, imagePart, 0x200), 0) << "only the header changes";
            std::uint32_t stored, computed;
            ASSERT_TRUE(PeStoredChecksum(joined, stored) && PeComputedChecksum(joined, computed));
            EXPECT_EQ(stored, computed);
        }
    }
}

TEST(PeImage, ChecksumIgnoresItsOwnFieldCountsEveryByteAndTheLength)
{
    for (const bool plus : {false, true}) {
        SCOPED_TRACE(plus ? "PE32+" : "PE32");
        std::string image = CraftedImage(plus, 0x1001); // odd length: the last byte counts alone
        std::uint32_t before, after, stored;
        ASSERT_TRUE(PeComputedChecksum(image, before));
        Put32(image, OptionalAt + 64, 0xDEADBEEF);
        ASSERT_TRUE(PeComputedChecksum(image, after));
        EXPECT_EQ(before, after) << "the field itself is counted as zero";
        ASSERT_TRUE(SetPeChecksum(image));
        ASSERT_TRUE(PeStoredChecksum(image, stored));
        EXPECT_EQ(stored, before);

        std::string lastByte = image;
        lastByte.back() = static_cast<char>(lastByte.back() + 1);
        ASSERT_TRUE(PeComputedChecksum(lastByte, after));
        EXPECT_EQ(after, before + 1) << "the odd last byte is a word of its own";
        std::string longer = image + std::string(2, '\0');
        ASSERT_TRUE(PeComputedChecksum(longer, after));
        EXPECT_EQ(after, before + 2) << "zeros add only the length";
        // Carries fold back into 16 bits: a word that lifts the sum to
        // 0x10000 gives 1; one less gives 0xFFFF, which is not folded to 0.
        std::string carry = CraftedImage(plus, 0x400);
        std::uint32_t base;
        ASSERT_TRUE(PeComputedChecksum(carry, base));
        const std::uint32_t folded = base - 0x400;
        ASSERT_GT(folded, 0u);
        ASSERT_LE(folded, 0xFFFFu);
        Put16(carry, 0x1F0, static_cast<std::uint16_t>(0x10000 - folded)); // a zero word before
        ASSERT_TRUE(PeComputedChecksum(carry, after));
        EXPECT_EQ(after, 1u + 0x400u);
        Put16(carry, 0x1F0, static_cast<std::uint16_t>(0xFFFF - folded));
        ASSERT_TRUE(PeComputedChecksum(carry, after));
        EXPECT_EQ(after, 0xFFFFu + 0x400u);

        // Read piece by piece, as the packer reads a file too large to hold:
        // pieces of odd sizes cut words in two, and long files fold often.
        for (const std::size_t size : {std::size_t(0x1001), std::size_t(0x30001), std::size_t(0x30000)}) {
            const std::string file = CraftedImage(plus, size);
            std::uint32_t whole;
            ASSERT_TRUE(PeComputedChecksum(file, whole));
            TPeChecksum pieces;
            for (std::size_t at = 0, step = 1; at < file.size(); at += step, step = step * 3 % 4099 + 1)
                pieces.Add(file.data() + at, std::min(step, file.size() - at));
            EXPECT_EQ(pieces.Finish(), whole) << size << " bytes";
        }
    }
}

TEST(PeImage, AnOddHeaderOffsetKeepsTheChecksumAndATableInsideTheProgramIsNoSignature)
{
    // At an odd offset the checksum field spans three words; its bytes still
    // count as zero, as when the file is read piece by piece.
    std::string odd = CraftedImage(true, 0x1000, 0x81);
    const std::size_t field = 0x81 + 24 + 64;
    Put16(odd, field + 4, 0x0202); // the word behind the field counts
    TPeChecksum pieces;
    pieces.Add(odd.data(), odd.size());
    std::uint32_t whole, withField;
    ASSERT_TRUE(PeComputedChecksum(odd, whole));
    EXPECT_EQ(whole, pieces.Finish());
    Put32(odd, field, 0xA5A5A5A5);
    ASSERT_TRUE(PeComputedChecksum(odd, withField));
    EXPECT_EQ(withField, whole) << "the field counts as zero";

    for (const bool plus : {false, true}) {
        SCOPED_TRACE(plus ? "PE32+" : "PE32");
        // One section whose raw data fills 0x200 to 0x400.
        std::string image = CraftedImage(plus, 0x600);
        const std::size_t table = OptionalAt + (plus ? 240 : 224);
        Put16(image, PeAt + 6, 1);
        Put32(image, table + 16, 0x200);
        Put32(image, table + 20, 0x200);
        std::uint64_t end;
        ASSERT_TRUE(PeImageEnd(image, end));
        EXPECT_EQ(end, 0x400u);
        for (const std::uint32_t start : {std::uint32_t(0x40), std::uint32_t(table), std::uint32_t(0x3F8), std::uint32_t(0x400)}) {
            std::string file = image;
            Put32(file, SecurityEntryAt(plus), start);
            Put32(file, SecurityEntryAt(plus) + 4, static_cast<std::uint32_t>(file.size() - start));
            std::size_t at;
            EXPECT_EQ(PeCertificateEndsFile(file, at), start == 0x400) << start;
            EXPECT_EQ(DropPeCertificate(file), start == 0x400) << start;
        }
        // A section table that runs past the bytes: no valid header.
        Put16(image, PeAt + 6, 40);
        EXPECT_FALSE(PeImageEnd(image, end));
    }
}

TEST(PeImage, BrokenHeadersGiveFalseAndAreLeftAlone)
{
    const std::string good = CraftedImage(true);
    std::uint32_t offset, size, checksum;
    std::size_t at;
    // Every truncation of the header: false or a sound answer, never a read
    // past the end (the sanitizers watch).
    for (std::size_t length = 0; length < OptionalAt + 160; ++length) {
        std::string cut = good.substr(0, length);
        PeSecurityDirectory(cut, offset, size);
        PeCertificateEndsFile(cut, at);
        PeComputedChecksum(cut, checksum);
        // Without the directory count no field is known; without the whole
        // entry there is nothing to clear.
        if (length < OptionalAt + 112) {
            EXPECT_EQ(UnsignedPeFile(cut, "x"), cut + "x") << length;
        }
        if (length < OptionalAt + 152) {
            EXPECT_FALSE(ClearPeSecurityDirectory(cut)) << length;
        }
    }
    struct Case {
        const char* what;
        std::size_t at;
        std::uint32_t value;
        bool word;
    };
    const Case cases[] = {
        {"no MZ", 0, 0x5A4E, true},
        {"PE header offset far past the end", 0x3C, 0xFFFFFFF0u, false},
        {"PE header offset just inside", 0x3C, 0x3F8, false},
        {"no PE signature", PeAt, 0x00004550u + 1, false},
        {"unknown optional header magic", OptionalAt, 0x107, true},
        {"optional header declared too short", PeAt + 20, 100, true},
    };
    for (const Case& c : cases) {
        std::string bad = good;
        if (c.word)
            Put16(bad, c.at, static_cast<std::uint16_t>(c.value));
        else
            Put32(bad, c.at, c.value);
        EXPECT_FALSE(PeSecurityDirectory(bad, offset, size)) << c.what;
        EXPECT_FALSE(PeComputedChecksum(bad, checksum)) << c.what;
        EXPECT_FALSE(SetPeChecksum(bad)) << c.what;
        EXPECT_EQ(UnsignedPeFile(bad, "x"), bad + "x") << c.what;
    }
    // Four data directories: there is no security entry, but a checksum.
    std::string fewDirectories = good;
    Put32(fewDirectories, OptionalAt + 108, 4);
    EXPECT_FALSE(PeSecurityDirectory(fewDirectories, offset, size));
    EXPECT_FALSE(DropPeCertificate(fewDirectories));
    EXPECT_TRUE(SetPeChecksum(fewDirectories));
}

TEST(PeImage, TheBuiltStubsAreUnsignedAndTakeAChecksum)
{
    const char* source = std::getenv("SETUP_SOURCE_DIR");
    int checked = 0;
    for (const char* target : {"win64", "win32"}) {
        std::string image;
        if (!ReadWholeFile(std::string(source ? source : ".") + "/dist/" + target + "/Setup.exe", image)) {
            if (std::getenv("SETUP_REQUIRE_DIST")) ADD_FAILURE() << "missing dist/" << target << "/Setup.exe";
            continue;
        }
        ++checked;
        std::uint32_t offset = 1, size = 1, stored, computed;
        ASSERT_TRUE(PeSecurityDirectory(image, offset, size)) << target;
        EXPECT_EQ(offset + size, 0u) << target;
        ASSERT_TRUE(SetPeChecksum(image)) << target;
        ASSERT_TRUE(PeStoredChecksum(image, stored));
        ASSERT_TRUE(PeComputedChecksum(image, computed));
        EXPECT_EQ(stored, computed);
        std::uint64_t end;
        EXPECT_TRUE(PeImageEnd(image, end) && end == image.size()) << target << ": raw data ends the file";
        EXPECT_GT(stored, image.size()) << target << ": a real program's words do not sum to zero";
    }
    if (checked == 0) GTEST_SKIP() << "no Windows programs built yet (make builds them)";
}
