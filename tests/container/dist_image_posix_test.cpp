// Checks the built Windows programs in dist/: the section markers must never
// stand in a program image, or the container's start would be found inside it.
#include <gtest/gtest.h>

#include <cstdlib>

#include "container/sections.h"
#include "support/test_support.h"
#include "util/file_helpers.h"

namespace {

std::string DistFile(const std::string& relative)
{
    const char* source = std::getenv("SETUP_SOURCE_DIR");
    return std::string(source ? source : ".") + "/dist/" + relative;
}

// Optional header magic of a PE file: 0x10B for PE32, 0x20B for PE32+.
int PeMagic(const std::string& image)
{
    if (image.size() < 0x40 || image.compare(0, 2, "MZ") != 0) return 0;
    const auto u32 = [&](std::size_t at) {
        std::uint32_t v = 0;
        for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(image[at + i]);
        return v;
    };
    const std::size_t pe = u32(0x3C);
    if (pe + 26 > image.size() || image.compare(pe, 4, std::string("PE\0\0", 4)) != 0) return 0;
    return static_cast<unsigned char>(image[pe + 24]) | (static_cast<unsigned char>(image[pe + 25]) << 8);
}

} // namespace

TEST(DistImages, ProgramsAreThePeKindOfTheirTargetAndHoldNoMarker)
{
    const bool required = std::getenv("SETUP_REQUIRE_DIST") != nullptr;
    const struct {
        const char* file;
        int magic;
    } programs[] = {{"win64/Setup.exe", 0x20B}, {"win32/Setup.exe", 0x10B}};
    int checked = 0;
    for (const auto& program : programs) {
        std::string image;
        if (!ReadWholeFile(DistFile(program.file), image)) {
            if (required) ADD_FAILURE() << "missing " << program.file;
            continue;
        }
        ++checked;
        EXPECT_EQ(PeMagic(image), program.magic) << program.file;
        for (const char* name :
             {SectionBeginningMark, SectionSetupLng, SectionSetupCmd, SectionSetupBin, SectionUninst}) {
            std::size_t length;
            EXPECT_EQ(FindSectionMarker(name, image, length), std::string::npos)
                << program.file << " holds the marker of " << name;
        }
    }
    if (checked == 0) GTEST_SKIP() << "no Windows programs built yet (make builds them)";
}
