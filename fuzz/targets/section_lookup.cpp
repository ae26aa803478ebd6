// The own-file split and the section lookup over arbitrary file bytes.
#include <string>

#include "container/sections.h"
#include "fuzz_targets.h"

int FuzzSectionLookup(const std::uint8_t* data, std::size_t size)
{
    const std::string file(reinterpret_cast<const char*>(data), size);
    std::string image, sections;
    SplitAtBeginMarker(file, image, sections);
    FuzzCheck(image + sections == file, "image and section part make the file");

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
