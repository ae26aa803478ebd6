// benchgen: writes the benchmark payload for a seed and a size.
//   benchgen --seed N --size MB --out DIR     (MB = 1,000,000 bytes)
//   benchgen --seed N --size MB --list        (the plan only: size, kind, path)
// Prints one JSON line with the counts per group. Exit 0, or 2 for bad
// arguments and 4 when a file cannot be written.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "payload_content.h"
#include "payload_mix.h"

namespace {

int Usage()
{
    std::fprintf(stderr, "usage: benchgen --seed N --size MB (--out DIR | --list)\n");
    return 2;
}

bool ParseNumber(const char* text, std::uint64_t& value)
{
    char* end = nullptr;
    const unsigned long long parsed = std::strtoull(text, &end, 10);
    if (!*text || *end || text[0] == '-') return false;
    value = parsed;
    return true;
}

const char* GroupName(TFileGroup group)
{
    switch (group) {
    case TFileGroup::Text: return "text";
    case TFileGroup::Binary: return "binary";
    case TFileGroup::Small: return "small";
    }
    return "?";
}

const char* KindName(TContentKind kind)
{
    switch (kind) {
    case TContentKind::Text: return "text";
    case TContentKind::Random: return "random";
    case TContentKind::Structured: return "structured";
    }
    return "?";
}

bool WriteFile(const std::filesystem::path& path, const std::string& data)
{
    std::ofstream stream(path, std::ios::binary | std::ios::trunc);
    stream.write(data.data(), static_cast<std::streamsize>(data.size()));
    return static_cast<bool>(stream.flush());
}

} // namespace

int main(int argc, char** argv)
{
    std::uint64_t seed = 0, sizeMb = 0;
    bool haveSeed = false, haveSize = false, listOnly = false;
    std::string outDir;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--list") listOnly = true;
        else if (i + 1 >= argc) return Usage();
        else if (arg == "--seed") haveSeed = ParseNumber(argv[++i], seed);
        else if (arg == "--size") haveSize = ParseNumber(argv[++i], sizeMb) && sizeMb > 0 && sizeMb <= 100000;
        else if (arg == "--out") outDir = argv[++i];
        else return Usage();
    }
    if (!haveSeed || !haveSize || (outDir.empty() != listOnly)) return Usage();

    const TPayloadPlan plan = PlanPayload(seed, sizeMb * 1000000);
    std::uint64_t files[3] = {}, bytes[3] = {};
    for (const TPlannedFile& file : plan.Files) {
        files[static_cast<int>(file.Group)] += 1;
        bytes[static_cast<int>(file.Group)] += file.Size;
    }

    if (listOnly) {
        for (const TPlannedFile& file : plan.Files)
            std::printf("%llu\t%s\t%s\n", static_cast<unsigned long long>(file.Size), KindName(file.Kind),
                        file.Path.c_str());
    } else {
        std::string data;
        std::error_code error;
        for (const TPlannedFile& file : plan.Files) {
            const std::filesystem::path path = std::filesystem::path(outDir) / file.Path;
            std::filesystem::create_directories(path.parent_path(), error);
            MakeContent(file, data);
            if (!WriteFile(path, data)) {
                std::fprintf(stderr, "benchgen: cannot write %s\n", path.string().c_str());
                return 4;
            }
        }
    }
    std::printf("{\"seed\": %llu, \"files\": %zu, \"bytes\": %llu", static_cast<unsigned long long>(seed),
                plan.Files.size(), static_cast<unsigned long long>(plan.TotalBytes));
    const TFileGroup groups[3] = {TFileGroup::Text, TFileGroup::Binary, TFileGroup::Small};
    for (int g = 0; g < 3; ++g)
        std::printf(", \"%s_files\": %llu, \"%s_bytes\": %llu", GroupName(groups[g]),
                    static_cast<unsigned long long>(files[g]), GroupName(groups[g]),
                    static_cast<unsigned long long>(bytes[g]));
    std::printf("}\n");
    return 0;
}
