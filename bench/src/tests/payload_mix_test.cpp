#include "payload_mix.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <set>

namespace {

std::string Lower(std::string text)
{
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

bool SamePlan(const TPayloadPlan& a, const TPayloadPlan& b)
{
    if (a.Files.size() != b.Files.size()) return false;
    for (std::size_t i = 0; i < a.Files.size(); ++i)
        if (a.Files[i].Path != b.Files[i].Path || a.Files[i].Size != b.Files[i].Size ||
            a.Files[i].Seed != b.Files[i].Seed || a.Files[i].Kind != b.Files[i].Kind)
            return false;
    return true;
}

} // namespace

TEST(PayloadPlan, SeedDecidesEverythingAndTheSizeIsExact)
{
    const TPayloadPlan a = PlanPayload(7, 20000000), b = PlanPayload(7, 20000000), c = PlanPayload(8, 20000000);
    EXPECT_TRUE(SamePlan(a, b)) << "the same seed must give the same plan";
    EXPECT_FALSE(SamePlan(a, c)) << "another seed must give another plan";
    EXPECT_EQ(a.TotalBytes, 20000000u);
    std::uint64_t sum = 0;
    for (const TPlannedFile& file : a.Files) sum += file.Size;
    EXPECT_EQ(sum, a.TotalBytes) << "TotalBytes must be the sum of the file sizes";
    ASSERT_FALSE(a.Files.empty());
    EXPECT_EQ(a.Files.front().Path, "Program.exe") << "the main program comes first";
}

TEST(PayloadPlan, GroupsHaveTheirSharesAndSizeRanges)
{
    const TMixRules rules;
    const TPayloadPlan plan = PlanPayload(42, 300000000, rules);
    std::uint64_t bytes[3] = {}, files[3] = {};
    for (const TPlannedFile& file : plan.Files) {
        const int g = static_cast<int>(file.Group);
        bytes[g] += file.Size;
        files[g] += 1;
        switch (file.Group) {
        case TFileGroup::Text:
            EXPECT_GE(file.Size, rules.TextMin) << file.Path;
            EXPECT_LT(file.Size, rules.TextMax + rules.TextMin) << file.Path;
            break;
        case TFileGroup::Binary:
            EXPECT_GE(file.Size, rules.BinaryMin) << file.Path;
            EXPECT_LT(file.Size, rules.BinaryMax + rules.BinaryMin) << file.Path;
            break;
        case TFileGroup::Small:
            EXPECT_GE(file.Size, rules.SmallMin) << file.Path;
            EXPECT_LT(file.Size, rules.SmallMax + rules.SmallMin) << file.Path;
            break;
        }
    }
    EXPECT_EQ(bytes[0], 120000000u) << "text share";
    EXPECT_EQ(bytes[1], 90000000u) << "binary share, main program included";
    EXPECT_EQ(bytes[2], 90000000u) << "small-file share";
    EXPECT_GT(files[2], 7000u) << "thousands of small files";
    EXPECT_LT(files[2], 11000u);
    EXPECT_GT(files[0], 50u);
    EXPECT_GT(files[1], 5u);
}

TEST(PayloadPlan, PathsAreUniqueValidAndSomeHoldBlanksAndCommas)
{
    const TPayloadPlan plan = PlanPayload(3, 50000000);
    std::set<std::string> seen;
    std::set<std::string> folders;
    std::size_t withBlank = 0, withComma = 0;
    unsigned maxDepth = 0;
    for (const TPlannedFile& file : plan.Files) {
        EXPECT_TRUE(seen.insert(Lower(file.Path)).second) << "duplicate without regard to case: " << file.Path;
        EXPECT_EQ(file.Path.find_first_of("<>:\"\\|?*"), std::string::npos) << file.Path;
        std::size_t start = 0;
        unsigned depth = 0;
        while (true) {
            const std::size_t end = file.Path.find('/', start);
            const std::string part = file.Path.substr(start, end == std::string::npos ? std::string::npos : end - start);
            ASSERT_FALSE(part.empty()) << file.Path;
            EXPECT_NE(part.back(), ' ') << file.Path;
            EXPECT_NE(part.back(), '.') << file.Path;
            EXPECT_NE(part.front(), ' ') << file.Path;
            if (end == std::string::npos) break;
            folders.insert(file.Path.substr(0, end));
            start = end + 1;
            ++depth;
        }
        maxDepth = std::max(maxDepth, depth);
        withBlank += file.Path.find(' ') != std::string::npos;
        withComma += file.Path.find(',') != std::string::npos;
    }
    // A folder and a file may not share a name either.
    for (const std::string& folder : folders) EXPECT_EQ(seen.count(Lower(folder)), 0u) << folder;
    EXPECT_GT(withBlank, plan.Files.size() / 20) << "some names need quoting for the blank";
    EXPECT_GT(withComma, plan.Files.size() / 50) << "some names need quoting for the comma";
    EXPECT_GE(maxDepth, 4u) << "small files lie in nested folders";
}

TEST(PayloadPlan, LogSpreadSizeStaysInItsRangeAndReachesBothEnds)
{
    EXPECT_EQ(LogSpreadSize(0, 1000, 5000000), 1000u);
    const std::uint64_t top = LogSpreadSize(~0ull, 1000, 5000000);
    EXPECT_LE(top, 5000000u);
    EXPECT_GT(top, 4000000u);
    EXPECT_EQ(LogSpreadSize(12345, 700, 700), 700u);
    // Evenly over the octaves: about half of the sizes below the geometric middle.
    std::uint64_t below = 0;
    for (std::uint64_t i = 0; i < 1000; ++i)
        below += LogSpreadSize(i * (~0ull / 1000), 1000, 1024000) < 32000;
    EXPECT_GT(below, 400u);
    EXPECT_LT(below, 600u);
}
