// Every seed input and every input that once made a fuzz target fail
// (fuzz/regressions/<target>/) runs through its target again. A target aborts
// on a failed property; the sanitizers of the native build catch the rest.
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "container/sections.h"
#include "support/test_support.h"
#include "targets/fuzz_targets.h"

namespace fs = std::filesystem;

namespace {

fs::path FuzzFolder()
{
    const char* source = std::getenv("SETUP_SOURCE_DIR");
    return fs::path(source ? source : ".") / "fuzz";
}

std::vector<fs::path> InputsOf(const fs::path& folder)
{
    std::vector<fs::path> inputs;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(folder, error))
        if (entry.is_regular_file()) inputs.push_back(entry.path());
    return inputs;
}

std::size_t Replay(const std::string& kind)
{
    std::size_t count = 0;
    for (const TFuzzTargetEntry& target : FuzzTargets) {
        for (const fs::path& input : InputsOf(FuzzFolder() / kind / target.Name)) {
            SCOPED_TRACE(input.string());
            const std::string bytes = ReadTestFile(input.string());
            EXPECT_EQ(target.Function(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()), 0);
            ++count;
        }
    }
    return count;
}

} // namespace

TEST(FuzzReplay, SeedCorporaRunClean)
{
    ASSERT_TRUE(fs::is_directory(FuzzFolder() / "corpus")) << "SETUP_SOURCE_DIR must name the source tree";
    for (const TFuzzTargetEntry& target : FuzzTargets)
        EXPECT_FALSE(InputsOf(FuzzFolder() / "corpus" / target.Name).empty()) << "no seeds for " << target.Name;
    EXPECT_GT(Replay("corpus"), 0u);
}

TEST(FuzzReplay, KeptFindingsRunClean)
{
    Replay("regressions");
}

TEST(FuzzReplay, TargetsSeeTheirEdgeCases)
{
    // Inputs each target must get through: nothing, one byte, a lone quote, a
    // begin marker without a length, a stored length of -1 and a cut zlib stream.
    const std::string beginMarker = MakeSectionMarker(SectionBeginningMark);
    const std::vector<std::string> inputs = {
        "", "\x01", "\"", std::string("\0\"", 2), beginMarker, beginMarker + "\xFF\xFF\xFF\xFF",
        std::string("\x78\x9C\x03\x00", 4), "\x01//ID=\r\nDE=\r\n\r\nde 7 = x",
    };
    for (const TFuzzTargetEntry& target : FuzzTargets)
        for (const std::string& input : inputs) {
            SCOPED_TRACE(std::string(target.Name) + " with " + std::to_string(input.size()) + " bytes");
            EXPECT_EQ(target.Function(reinterpret_cast<const std::uint8_t*>(input.data()), input.size()), 0);
        }
}
