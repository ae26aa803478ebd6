#include "container/pe_image.h"

#include <algorithm>

namespace {

const std::size_t SecurityDirectoryIndex = 4;

struct PeFields {
    std::size_t ChecksumAt = 0;
    std::size_t SecurityEntryAt = 0;
    bool HasSecurityEntry = false;
    std::size_t PeAt = 0;
    std::size_t OptionalAt = 0;
    std::size_t OptionalSize = 0;
};

std::uint32_t ReadU32(const std::string& bytes, std::size_t at)
{
    std::uint32_t value = 0;
    for (int i = 3; i >= 0; --i) value = (value << 8) | static_cast<unsigned char>(bytes[at + i]);
    return value;
}

std::uint16_t ReadU16(const std::string& bytes, std::size_t at)
{
    return static_cast<std::uint16_t>(static_cast<unsigned char>(bytes[at]) |
                                      (static_cast<unsigned char>(bytes[at + 1]) << 8));
}

void WriteU32(std::string& bytes, std::size_t at, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

// Places of the fields in the optional header; false for anything that is
// not an MZ file with a PE32 or PE32+ optional header inside the bytes.
bool FindPeFields(const std::string& image, PeFields& fields)
{
    if (image.size() < 0x40 || image[0] != 'M' || image[1] != 'Z') return false;
    const std::uint32_t pe = ReadU32(image, 0x3C);
    const std::size_t optionalAt = static_cast<std::size_t>(pe) + 24;
    if (pe > image.size() || image.size() - pe < 24 + 2) return false;
    if (image.compare(pe, 4, std::string("PE\0\0", 4)) != 0) return false;
    const std::size_t optionalSize = ReadU16(image, pe + 20);
    const std::uint16_t magic = ReadU16(image, optionalAt);
    std::size_t countAt, directoriesAt;
    if (magic == 0x10B) {
        countAt = 92;
        directoriesAt = 96;
    } else if (magic == 0x20B) {
        countAt = 108;
        directoriesAt = 112;
    } else {
        return false;
    }
    // The checksum (at 64) and the directory count must lie inside both the
    // declared optional header and the bytes.
    if (optionalSize < countAt + 4 || image.size() - optionalAt < countAt + 4) return false;
    fields.PeAt = pe;
    fields.OptionalAt = optionalAt;
    fields.OptionalSize = optionalSize;
    fields.ChecksumAt = optionalAt + 64;
    const std::uint32_t count = ReadU32(image, optionalAt + countAt);
    const std::size_t entryAt = directoriesAt + SecurityDirectoryIndex * 8;
    fields.HasSecurityEntry = count > SecurityDirectoryIndex && optionalSize >= entryAt + 8 &&
                              image.size() - optionalAt >= entryAt + 8;
    fields.SecurityEntryAt = optionalAt + entryAt;
    return true;
}

// The end of the headers and of every section's raw data in the file; false
// when the section table does not lie wholly inside the bytes.
bool FindImageEnd(const std::string& image, const PeFields& fields, std::uint64_t& end)
{
    const std::size_t count = ReadU16(image, fields.PeAt + 6);
    const std::uint64_t tableAt = std::uint64_t(fields.OptionalAt) + fields.OptionalSize;
    const std::uint64_t tableEnd = tableAt + 40 * count;
    if (tableEnd > image.size()) return false;
    end = std::max<std::uint64_t>(tableEnd, ReadU32(image, fields.OptionalAt + 60)); // SizeOfHeaders
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t at = static_cast<std::size_t>(tableAt) + 40 * i;
        const std::uint32_t rawSize = ReadU32(image, at + 16);
        if (rawSize > 0) end = std::max<std::uint64_t>(end, std::uint64_t(ReadU32(image, at + 20)) + rawSize);
    }
    return true;
}

} // namespace

bool PeImageEnd(const std::string& image, std::uint64_t& end)
{
    end = 0;
    PeFields fields;
    return FindPeFields(image, fields) && FindImageEnd(image, fields, end);
}

bool PeSecurityDirectory(const std::string& image, std::uint32_t& offset, std::uint32_t& size)
{
    offset = size = 0;
    PeFields fields;
    if (!FindPeFields(image, fields) || !fields.HasSecurityEntry) return false;
    offset = ReadU32(image, fields.SecurityEntryAt);
    size = ReadU32(image, fields.SecurityEntryAt + 4);
    return true;
}

bool PeCertificateEndsFile(const std::string& image, std::size_t& certificateOffset)
{
    certificateOffset = 0;
    std::uint32_t offset, size;
    std::uint64_t imageEnd;
    if (!PeSecurityDirectory(image, offset, size) || offset == 0 || size == 0 || !PeImageEnd(image, imageEnd))
        return false;
    // A certificate table starts behind the program's last raw data and runs
    // exactly to the end.
    if (offset < imageEnd || offset > image.size() || image.size() - offset != size) return false;
    certificateOffset = offset;
    return true;
}

bool ClearPeSecurityDirectory(std::string& image)
{
    PeFields fields;
    if (!FindPeFields(image, fields) || !fields.HasSecurityEntry) return false;
    WriteU32(image, fields.SecurityEntryAt, 0);
    WriteU32(image, fields.SecurityEntryAt + 4, 0);
    return true;
}

bool DropPeCertificate(std::string& image)
{
    std::size_t offset;
    if (!PeCertificateEndsFile(image, offset)) return false;
    image.resize(offset);
    ClearPeSecurityDirectory(image);
    return true;
}

bool PeStoredChecksum(const std::string& image, std::uint32_t& checksum)
{
    checksum = 0;
    PeFields fields;
    if (!FindPeFields(image, fields)) return false;
    checksum = ReadU32(image, fields.ChecksumAt);
    return true;
}

bool PeComputedChecksum(const std::string& image, std::uint32_t& checksum)
{
    checksum = 0;
    PeFields fields;
    if (!FindPeFields(image, fields) || image.size() > 0xFFFFFFFFu) return false;
    // The field's bytes count as zero wherever they fall: an odd header
    // offset puts them across three words.
    const auto byteAt = [&](std::size_t at) -> unsigned {
        return at - fields.ChecksumAt < 4 ? 0 : static_cast<unsigned char>(image[at]);
    };
    std::uint64_t sum = 0;
    const std::size_t words = image.size() / 2;
    for (std::size_t i = 0; i < words; ++i) {
        sum += byteAt(2 * i) | (byteAt(2 * i + 1) << 8);
        // Folding now and then keeps the sum far from overflow.
        if ((i & 0xFFFF) == 0xFFFF) sum = (sum & 0xFFFF) + (sum >> 16);
    }
    if (image.size() % 2 != 0) sum += byteAt(image.size() - 1);
    while (sum > 0xFFFF) sum = (sum & 0xFFFF) + (sum >> 16);
    checksum = static_cast<std::uint32_t>(sum + image.size());
    return true;
}

bool SetPeChecksum(std::string& image)
{
    PeFields fields;
    std::uint32_t checksum;
    if (!FindPeFields(image, fields) || !PeComputedChecksum(image, checksum)) return false;
    WriteU32(image, fields.ChecksumAt, checksum);
    return true;
}

bool PeChecksumOffset(const std::string& imageStart, std::size_t& offset)
{
    PeFields fields;
    if (!FindPeFields(imageStart, fields)) return false;
    offset = fields.ChecksumAt;
    return true;
}

void TPeChecksum::Add(const char* data, std::size_t size)
{
    for (std::size_t i = 0; i < size; ++i, ++length_) {
        const unsigned byte = static_cast<unsigned char>(data[i]);
        if (length_ % 2 == 0) {
            pendingLow_ = byte;
        } else {
            sum_ += pendingLow_ | (byte << 8);
            if ((length_ & 0x1FFFF) == 0x1FFFF) sum_ = (sum_ & 0xFFFF) + (sum_ >> 16);
        }
    }
}

std::uint32_t TPeChecksum::Finish() const
{
    std::uint64_t sum = sum_;
    if (length_ % 2 != 0) sum += pendingLow_;
    while (sum > 0xFFFF) sum = (sum & 0xFFFF) + (sum >> 16);
    return static_cast<std::uint32_t>(sum + length_);
}

std::string UnsignedPeFile(const std::string& image, const std::string& appended)
{
    PeFields fields;
    if (!FindPeFields(image, fields)) return image + appended;
    std::string bytes;
    bytes.reserve(image.size() + appended.size() + 1);
    bytes = image;
    if ((image.size() + appended.size()) % 2 != 0) bytes += '\0';
    bytes += appended;
    ClearPeSecurityDirectory(bytes);
    SetPeChecksum(bytes);
    return bytes;
}
