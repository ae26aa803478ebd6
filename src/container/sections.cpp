#include "container/sections.h"

#include <cstdint>

#include "util/file_helpers.h"

const char* const SectionBeginningMark = "Section:BeginningMark";
const char* const SectionSetupLng = "Section:Setup.lng";
const char* const SectionSetupCmd = "Section:Setup.cmd";
const char* const SectionSetupBin = "Section:Setup.bin";
const char* const SectionUninst = "Section:Uninst";

TSectionsState SectionsState = NotLoaded;
std::string OwnFileData;
std::string OwnImagePart;
std::string OwnSectionPart;

namespace {

// The delimiter is kept as 0xF8 and decremented at run time: the image must
// never contain the finished 0xF7 form next to a scrambled name.
const char MarkerDelimiterSeed[] = "\xF8";

std::string SectionsFileOverride;

} // namespace

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
    const std::string fileName = SectionsFileOverride.empty() ? OwnExecutablePath() : SectionsFileOverride;
    ReadWholeFile(fileName, OwnFileData);
    if (OwnFileData.empty()) return;
    SectionsState = Loaded;
    OwnSectionPart.clear();
    SplitAtBeginMarker(OwnFileData, OwnImagePart, OwnSectionPart);
}

bool FindSection(const std::string& name, const std::string& container, std::string& data)
{
    data.clear();
    std::size_t markerLength;
    const std::size_t position = FindSectionMarker(name, container, markerLength);
    if (position == std::string::npos) return false;
    const std::size_t start = position + markerLength;
    if (container.size() - start < 4) return false;
    const auto byteAt = [&](std::size_t i) { return static_cast<std::uint32_t>(static_cast<unsigned char>(container[start + i])); };
    const std::int32_t length =
        static_cast<std::int32_t>(byteAt(0) | (byteAt(1) << 8) | (byteAt(2) << 16) | (byteAt(3) << 24));
    if (length > 0) data = container.substr(start + 4, static_cast<std::size_t>(length));
    return true;
}

bool GetSection(const std::string& name, const std::string& container, std::string& data)
{
    data.clear();
    if (SectionsState != Loaded) return false;
    return FindSection(name, container, data);
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
    OwnFileData.clear();
    OwnImagePart.clear();
    OwnSectionPart.clear();
}
