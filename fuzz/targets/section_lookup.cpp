// The own-file split and the section lookup over arbitrary file bytes.
#include <unistd.h>

#include <cstdio>
#include <string>

#include "container/sections.h"
#include "fuzz_targets.h"

namespace {

// The file the own-file loader reads instead of the running program.
const std::string& OwnFileStandIn()
{
    static const std::string name = "/tmp/setup-fuzz-own-" + std::to_string(getpid()) + ".exe";
    return name;
}

// The loader reads the file in pieces; it must find what the lookup on the
// bytes in memory finds.
void CheckFileLoader(const std::string& file, const std::string& image, const std::string& sections)
{
    FILE* out = std::fopen(OwnFileStandIn().c_str(), "wb");
    if (!out) return;
    std::fwrite(file.data(), 1, file.size(), out);
    std::fclose(out);
    UseSectionsFile(OwnFileStandIn());
    LoadOwnSections();
    if (file.empty()) {
        FuzzCheck(SectionsState == NoFile, "an empty file is no file");
    } else {
        FuzzCheck(SectionsState == Loaded, "a file with bytes loads");
        FuzzCheck(OwnImagePart == image, "the loader's image part");
        FuzzCheck(OwnSectionPart.size() == sections.size() && OwnSectionPart.Bytes() == sections,
                  "the loader's section part");
        for (const char* name : {SectionBeginningMark, SectionSetupLng, SectionSetupCmd, SectionSetupBin, SectionUninst}) {
            std::string inMemory, fromFile;
            const bool found = FindSection(name, sections, inMemory);
            FuzzCheck(GetSection(name, OwnSectionPart, fromFile) == found, "both lookups find a section");
            FuzzCheck(fromFile == inMemory, "both lookups give the same data");
            std::uint64_t position = 0, length = 0;
            if (GetSectionPlace(name, OwnSectionPart, position, length)) {
                std::string placed;
                FuzzCheck(length == inMemory.size(), "the place's length is the data's");
                FuzzCheck(length == 0 || (OwnSectionPart.Read(position, static_cast<std::size_t>(length), placed) &&
                                          placed == inMemory),
                          "the place holds the data");
            }
        }
        if (file.size() > 2) {
            const std::string needle = file.substr(file.size() / 2, 1 + file[0] % 8);
            const std::size_t expected = sections.find(needle);
            const std::uint64_t found = OwnSectionPart.Find(needle);
            FuzzCheck(expected == std::string::npos ? found == TSectionPart::NotFound : found == expected,
                      "the part's search finds the first occurrence");
        }
    }
    UseSectionsFile(std::string());
}

} // namespace

int FuzzSectionLookup(const std::uint8_t* data, std::size_t size)
{
    const std::string file(reinterpret_cast<const char*>(data), size);
    std::string image, sections;
    SplitAtBeginMarker(file, image, sections);
    FuzzCheck(image + sections == file, "image and section part make the file");
    CheckFileLoader(file, image, sections);

    for (const char* name : {SectionBeginningMark, SectionSetupLng, SectionSetupCmd, SectionSetupBin, SectionUninst}) {
        std::string found;
        if (FindSection(name, sections, found)) {
            FuzzCheck(found.size() <= sections.size(), "a section is never larger than its container");
            FuzzCheck(sections.find(found) != std::string::npos, "section data is a copy of container bytes");
        } else {
            FuzzCheck(found.empty(), "a section not found has no data");
        }
    }

    // A name taken from the input: its section appended behind the container is
    // found with its data unless an earlier marker of that name stands in front.
    const std::size_t nameLength = size > 0 ? data[0] % 40 : 0;
    if (size > nameLength + 1) {
        const std::string name = file.substr(1, nameLength);
        const std::string payload = file.substr(1 + nameLength);
        std::size_t markerLength = 0;
        FindSectionMarker(name, sections, markerLength);
        FuzzCheck(markerLength == name.size() + 2, "a marker is the name plus two bytes");
        std::string found;
        FuzzCheck(FindSection(name, sections + MakeSection(name, payload), found), "an appended section is found");
        const std::string marker = MakeSectionMarker(name);
        if ((sections + marker).find(marker) == sections.size())
            FuzzCheck(found == payload, "an appended section returns its data");
    }
    return 0;
}
