#include "payload_mix.h"

#include <algorithm>

#include "bench_random.h"

namespace {

const char* const NameWords[] = {
    "report", "archive", "texture", "level", "manual", "invoice", "config", "sound", "model", "shader",
    "locale", "help", "sample", "project", "index", "cache", "theme", "font", "plugin", "template",
    "export", "import", "backup", "ledger", "contract", "picture", "terrain", "voice", "script", "table",
    "summary", "catalog", "release", "license", "chapter", "figure", "lesson", "record", "profile", "setting",
};
const std::size_t NameWordCount = sizeof(NameWords) / sizeof(NameWords[0]);

std::string Word(TBenchRandom& random) { return NameWords[random.Below(NameWordCount)]; }

std::string Capitalised(std::string word)
{
    if (!word.empty() && word[0] >= 'a' && word[0] <= 'z') word[0] = static_cast<char>(word[0] - 'a' + 'A');
    return word;
}

// A file or folder name made unique by its number; about one in ten has a
// blank, about one in twenty a comma and a blank.
std::string UniqueName(TBenchRandom& random, std::uint64_t number, const std::string& extension)
{
    const std::string n = std::to_string(number);
    const std::uint64_t shape = random.Below(100);
    if (shape < 5) return Capitalised(Word(random)) + " " + n + ", " + Word(random) + extension;
    if (shape < 15) return Capitalised(Word(random)) + " " + Word(random) + " " + n + extension;
    return Word(random) + "_" + n + extension;
}

struct TGroupRange {
    std::uint64_t Min, Max;
};

// Sizes for a group until its budget is used up exactly; a rest smaller than
// the minimum joins the last file.
std::vector<std::uint64_t> GroupSizes(TBenchRandom& random, std::uint64_t budget, TGroupRange range, bool evenSpread)
{
    std::vector<std::uint64_t> sizes;
    std::uint64_t left = budget;
    while (left >= range.Min) {
        std::uint64_t size = evenSpread ? random.Between(range.Min, range.Max)
                                        : LogSpreadSize(random.Next(), range.Min, range.Max);
        size = std::min(size, left);
        if (left - size < range.Min) size = left;
        sizes.push_back(size);
        left -= size;
    }
    if (left > 0 && !sizes.empty()) sizes.back() += left;
    return sizes;
}

struct TExtension {
    const char* Text;
    TContentKind Kind;
};

const TExtension TextExtensions[] = {{".txt", TContentKind::Text},  {".xml", TContentKind::Text},
                                     {".csv", TContentKind::Text},  {".html", TContentKind::Text},
                                     {".log", TContentKind::Text},  {".rtf", TContentKind::Text}};
const TExtension BinaryExtensions[] = {{".pak", TContentKind::Random}, {".jpg", TContentKind::Random},
                                       {".zip", TContentKind::Random}, {".ogg", TContentKind::Random},
                                       {".cab", TContentKind::Random}, {".dll", TContentKind::Random}};
const TExtension SmallExtensions[] = {{".json", TContentKind::Text}, {".xml", TContentKind::Text},
                                      {".txt", TContentKind::Text},  {".ini", TContentKind::Text},
                                      {".png", TContentKind::Random}, {".ico", TContentKind::Structured},
                                      {".dat", TContentKind::Structured}};

template <std::size_t N>
const TExtension& PickExtension(TBenchRandom& random, const TExtension (&table)[N])
{
    return table[random.Below(N)];
}

} // namespace

std::uint64_t LogSpreadSize(std::uint64_t randomBits, std::uint64_t low, std::uint64_t high)
{
    if (high <= low) return low;
    // Position e in 1/256 octaves: low * 2^(e/256), the fraction of an octave
    // taken linearly.
    auto sizeAt = [low](std::uint64_t e) { return ((low << (e / 256)) * (256 + e % 256)) / 256; };
    std::uint64_t lo = 0, hi = 40 * 256;
    while (lo < hi) { // largest e with sizeAt(e) <= high
        const std::uint64_t mid = (lo + hi + 1) / 2;
        if (sizeAt(mid) <= high) lo = mid;
        else hi = mid - 1;
    }
    const std::uint64_t e = static_cast<std::uint64_t>((static_cast<unsigned __int128>(randomBits) * (lo + 1)) >> 64);
    return sizeAt(e);
}

TPayloadPlan PlanPayload(std::uint64_t seed, std::uint64_t totalBytes, const TMixRules& rules)
{
    TBenchRandom random(seed);
    TPayloadPlan plan;
    std::uint64_t number = 0;
    auto add = [&](std::string path, std::uint64_t size, TContentKind kind, TFileGroup group) {
        plan.Files.push_back({std::move(path), size, kind, group, DeriveSeed(seed, plan.Files.size())});
        plan.TotalBytes += size;
    };

    const std::uint64_t textBudget = totalBytes / 100 * rules.TextPercent;
    std::uint64_t binaryBudget = totalBytes / 100 * rules.BinaryPercent;
    const std::uint64_t smallBudget = totalBytes - textBudget - binaryBudget;

    const std::uint64_t programSize = std::min(binaryBudget, LogSpreadSize(random.Next(), rules.BinaryMin, 4000000));
    add("Program.exe", programSize, TContentKind::Structured, TFileGroup::Binary);
    binaryBudget -= programSize;

    // Text files: a few folders below "docs".
    const char* const textFolders[] = {"docs/", "docs/manual/", "docs/Release Notes/", "docs/forms, letters/", "logs/"};
    for (std::uint64_t size : GroupSizes(random, textBudget, {rules.TextMin, rules.TextMax}, false)) {
        const TExtension& extension = PickExtension(random, TextExtensions);
        const std::string folder = textFolders[random.Below(5)];
        add(folder + UniqueName(random, ++number, extension.Text), size, extension.Kind, TFileGroup::Text);
    }

    for (std::uint64_t size : GroupSizes(random, binaryBudget, {rules.BinaryMin, rules.BinaryMax}, false)) {
        const TExtension& extension = PickExtension(random, BinaryExtensions);
        const std::string folder = random.Percent(50) ? "media/" : "bin/";
        add(folder + UniqueName(random, ++number, extension.Text), size, extension.Kind, TFileGroup::Binary);
    }

    // Small files: a tree of nested folders below "assets", each folder
    // hanging below an earlier one, at most five deep.
    const std::vector<std::uint64_t> smallSizes =
        GroupSizes(random, smallBudget, {rules.SmallMin, rules.SmallMax}, true);
    const std::size_t folderCount = std::max<std::size_t>(1, smallSizes.size() / rules.SmallFilesPerFolder);
    std::vector<std::string> folders;
    std::vector<unsigned> depths;
    for (std::size_t i = 0; i < folderCount; ++i) {
        std::string parent = "assets/";
        unsigned depth = 1;
        if (!folders.empty() && random.Percent(70)) {
            const std::size_t p = random.Below(folders.size());
            if (depths[p] < 5) {
                parent = folders[p];
                depth = depths[p] + 1;
            }
        }
        folders.push_back(parent + UniqueName(random, ++number, "") + "/");
        depths.push_back(depth);
    }
    for (std::uint64_t size : smallSizes) {
        const TExtension& extension = PickExtension(random, SmallExtensions);
        const std::string& folder = folders[random.Below(folders.size())];
        add(folder + UniqueName(random, ++number, extension.Text), size, extension.Kind, TFileGroup::Small);
    }
    return plan;
}
