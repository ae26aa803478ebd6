#include "container/sections.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "util/file_helpers.h"

const char* const SectionBeginningMark = "Section:BeginningMark";
const char* const SectionSetupLng = "Section:Setup.lng";
const char* const SectionSetupCmd = "Section:Setup.cmd";
const char* const SectionSetupBin = "Section:Setup.bin";
const char* const SectionUninst = "Section:Uninst";

TSectionsState SectionsState = NotLoaded;
std::uint64_t OwnFileSize = 0;
std::string OwnImagePart;
TSectionPart OwnSectionPart;
unsigned OwnSectionsLoadCount = 0;

namespace {

// The delimiter is kept as 0xF8 and decremented at run time: the image must
// never contain the finished 0xF7 form next to a scrambled name.
const char MarkerDelimiterSeed[] = "\xF8";

std::string SectionsFileOverride;

std::int32_t SignedLittleEndian(const char* bytes)
{
    const auto byteAt = [&](int i) { return static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[i])); };
    return static_cast<std::int32_t>(byteAt(0) | (byteAt(1) << 8) | (byteAt(2) << 16) | (byteAt(3) << 24));
}

} // namespace

TSectionPart::TSectionPart(const std::string& fileName, std::uint64_t fileOffset, std::uint64_t size)
    : fileName_(fileName), fileOffset_(fileOffset), size_(size)
{
}

void TSectionPart::clear()
{
    fileName_.clear();
    fileOffset_ = 0;
    size_ = 0;
}

bool TSectionPart::Read(std::uint64_t position, std::size_t count, std::string& data) const
{
    data.clear();
    if (position >= size_ || count == 0) return true;
    const std::uint64_t available = size_ - position;
    if (available < count) count = static_cast<std::size_t>(available);
    return ReadFilePart(fileName_, fileOffset_ + position, count, data);
}

bool TSectionPart::ReadInto(std::uint64_t position, char* buffer, std::size_t count, std::size_t& done) const
{
    done = 0;
    if (position >= size_ || count == 0) return true;
    const std::uint64_t available = size_ - position;
    if (available < count) count = static_cast<std::size_t>(available);
    return ReadFilePartInto(fileName_, fileOffset_ + position, buffer, count, done);
}

std::string TSectionPart::Bytes() const
{
    std::string data;
    if (size_ > static_cast<std::uint64_t>(SIZE_MAX / 2) || !Read(0, static_cast<std::size_t>(size_), data))
        data.clear();
    return data;
}

std::uint64_t TSectionPart::Find(const std::string& bytes, std::uint64_t from) const
{
    if (bytes.empty()) return from <= size_ ? from : NotFound;
    // One buffer for the whole search, taken once: a fresh block of a
    // megabyte for every piece cost a page fault per page under Wine, and
    // the sections looked up stand near the container's start. The last
    // bytes of the piece before stay at its front, so that an occurrence
    // across two pieces is found too.
    std::string window(SectionSearchPiece + bytes.size(), '\0');
    std::size_t kept = 0;
    std::uint64_t windowStart = from;
    std::uint64_t position = from;
    while (position < size_) {
        std::size_t got = 0;
        if (!ReadInto(position, &window[kept], SectionSearchPiece, got) || got == 0) return NotFound;
        position += got;
        const std::size_t filled = kept + got;
        const std::size_t hit = std::string_view(window.data(), filled).find(bytes);
        if (hit != std::string_view::npos) return windowStart + hit;
        const std::size_t keep = std::min(filled, bytes.size() - 1);
        std::memmove(&window[0], &window[filled - keep], keep);
        windowStart += filled - keep;
        kept = keep;
    }
    return NotFound;
}

// noinline keeps the compiler from folding a marker for a constant name into
// immediate data of the image.
__attribute__((noinline)) std::string MakeSectionMarker(const std::string& name)
{
    std::string marker;
    marker.reserve(name.size() + 2);
    marker += MarkerDelimiterSeed;
    marker += name;
    marker += MarkerDelimiterSeed;
    for (std::size_t i = 1; i + 1 < marker.size(); ++i)
        marker[i] = static_cast<char>(marker[i] ^ 0x55);
    marker.front() = static_cast<char>(marker.front() - 1);
    marker.back() = static_cast<char>(marker.back() - 1);
    return marker;
}

std::size_t FindSectionMarker(const std::string& name, const std::string& text, std::size_t& markerLength)
{
    const std::string marker = MakeSectionMarker(name);
    markerLength = marker.size();
    return text.find(marker);
}

void SplitAtBeginMarker(const std::string& fileData, std::string& imagePart, std::string& sectionPart)
{
    std::size_t markerLength;
    const std::size_t position = FindSectionMarker(SectionBeginningMark, fileData, markerLength);
    if (position == std::string::npos) {
        imagePart = fileData;
        sectionPart.clear();
    } else {
        imagePart = fileData.substr(0, position);
        sectionPart = fileData.substr(position);
    }
}

void LoadOwnSections()
{
    if (SectionsState == Loaded) return;
    SectionsState = NoFile;
    OwnFileSize = 0;
    OwnImagePart.clear();
    OwnSectionPart.clear();
    const std::string fileName = SectionsFileOverride.empty() ? OwnExecutablePath() : SectionsFileOverride;
    const std::int64_t size = QueryFileSize(fileName);
    if (size <= 0) return;
    // Only the image part is held; the container is searched and read from
    // the file when asked.
    const TSectionPart whole(fileName, 0, static_cast<std::uint64_t>(size));
    const std::uint64_t begin = whole.Find(MakeSectionMarker(SectionBeginningMark));
    const std::uint64_t imageSize = begin == TSectionPart::NotFound ? whole.size() : begin;
    if (imageSize > static_cast<std::uint64_t>(SIZE_MAX / 2)) return;
    std::string image;
    if (!whole.Read(0, static_cast<std::size_t>(imageSize), image) || image.size() != imageSize) return;
    if (image.empty() && begin == TSectionPart::NotFound) return;
    SectionsState = Loaded;
    ++OwnSectionsLoadCount;
    OwnFileSize = whole.size();
    OwnImagePart.swap(image);
    if (begin != TSectionPart::NotFound) OwnSectionPart = TSectionPart(fileName, begin, whole.size() - begin);
}

bool FindSection(const std::string& name, const std::string& container, std::string& data)
{
    data.clear();
    std::size_t markerLength;
    const std::size_t position = FindSectionMarker(name, container, markerLength);
    if (position == std::string::npos) return false;
    const std::size_t start = position + markerLength;
    if (container.size() - start < 4) return false;
    const std::int32_t length = SignedLittleEndian(container.data() + start);
    if (length > 0) data = container.substr(start + 4, static_cast<std::size_t>(length));
    return true;
}

bool GetSection(const std::string& name, const std::string& container, std::string& data)
{
    data.clear();
    if (SectionsState != Loaded) return false;
    return FindSection(name, container, data);
}

bool GetSectionPlace(const std::string& name, const TSectionPart& container, std::uint64_t& position,
                     std::uint64_t& length)
{
    position = 0;
    length = 0;
    if (SectionsState != Loaded) return false;
    const std::string marker = MakeSectionMarker(name);
    const std::uint64_t at = container.Find(marker);
    if (at == TSectionPart::NotFound) return false;
    const std::uint64_t start = at + marker.size();
    std::string lengthBytes;
    if (container.size() - start < 4 || !container.Read(start, 4, lengthBytes) || lengthBytes.size() < 4)
        return false;
    const std::int32_t stored = SignedLittleEndian(lengthBytes.data());
    position = start + 4;
    if (stored > 0) length = std::min<std::uint64_t>(static_cast<std::uint64_t>(stored), container.size() - position);
    return true;
}

bool GetSection(const std::string& name, const TSectionPart& container, std::string& data)
{
    data.clear();
    std::uint64_t position;
    std::uint64_t length;
    if (!GetSectionPlace(name, container, position, length)) return false;
    if (length > 0 && !container.Read(position, static_cast<std::size_t>(length), data)) data.clear();
    return true;
}

std::string MakeSection(const std::string& name, const std::string& data)
{
    std::string section = MakeSectionMarker(name);
    const std::uint32_t length = static_cast<std::uint32_t>(data.size());
    for (int shift = 0; shift < 32; shift += 8)
        section += static_cast<char>((length >> shift) & 0xFF);
    section += data;
    return section;
}

void UseSectionsFile(const std::string& fileName)
{
    SectionsFileOverride = fileName;
    SectionsState = NotLoaded;
    OwnFileSize = 0;
    OwnImagePart.clear();
    OwnSectionPart.clear();
}
