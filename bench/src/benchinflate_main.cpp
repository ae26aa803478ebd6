// benchinflate: how fast this machine inflates the benchmark payload in
// memory, with no file written.
//   benchinflate --installer Setup.exe [--payload DIR] [--repeat N]
// --installer: the work an installer built by mksetup does: the payload
//   section's stream, then every compressed piece in it.
// --payload: every file of DIR compressed alone with zlib level 9 (not timed),
//   then all of them inflated (the per-file streams a peer installer reads).
// Prints one JSON line of best and median seconds. Exit 0, 2 for bad
// arguments, 3 for an unreadable or damaged installer.
#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "installer_streams.h"

namespace {

using Clock = std::chrono::steady_clock;

bool ReadAll(const std::filesystem::path& path, std::string& data)
{
    std::ifstream stream(path, std::ios::binary);
    if (!stream) return false;
    data.assign(std::istreambuf_iterator<char>(stream), std::istreambuf_iterator<char>());
    return static_cast<bool>(stream) || stream.eof();
}

double Seconds(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

struct TTimes {
    double Best = 0, Median = 0;
};

TTimes Summarise(std::vector<double> times)
{
    std::sort(times.begin(), times.end());
    return {times.front(), times[times.size() / 2]};
}

int Fail(const std::string& message)
{
    std::fprintf(stderr, "benchinflate: %s\n", message.c_str());
    return 3;
}

} // namespace

int main(int argc, char** argv)
{
    std::string installer, payloadDir;
    int repeat = 3;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string arg = argv[i];
        if (arg == "--installer") installer = argv[i + 1];
        else if (arg == "--payload") payloadDir = argv[i + 1];
        else if (arg == "--repeat") repeat = std::max(1, std::atoi(argv[i + 1]));
        else installer.clear(), i = argc;
    }
    if (installer.empty() || argc % 2 == 0) {
        std::fprintf(stderr, "usage: benchinflate --installer Setup.exe [--payload DIR] [--repeat N]\n");
        return 2;
    }

    std::string file, scriptStream, payloadStream, script;
    if (!ReadAll(installer, file)) return Fail("cannot read " + installer);
    if (!FindNamedSection(file, "Section:Setup.cmd", scriptStream) ||
        !FindNamedSection(file, "Section:Setup.bin", payloadStream))
        return Fail("no script or payload section in " + installer);
    if (!InflateWhole(scriptStream, 0, script)) return Fail("the script section does not inflate");
    std::vector<TPiece> pieces;
    std::string message;
    if (!ScriptPieces(script, pieces, message)) return Fail(message);
    std::uint64_t streamBytes = 0, fileBytes = 0;
    for (const TPiece& piece : pieces) {
        streamBytes += piece.ComprLen ? piece.ComprLen : piece.OrigLen;
        fileBytes += piece.OrigLen;
    }

    std::vector<double> outerTimes, totalTimes;
    std::string payload, piece;
    for (int run = 0; run < repeat; ++run) {
        const Clock::time_point start = Clock::now();
        if (!InflateWhole(payloadStream, streamBytes, payload) || payload.size() != streamBytes)
            return Fail("the payload section does not inflate to the pieces the script names");
        outerTimes.push_back(Seconds(start));
        std::size_t at = 0;
        for (const TPiece& p : pieces) {
            if (p.ComprLen) {
                if (!InflateWhole(payload.data() + at, p.ComprLen, p.OrigLen, piece) || piece.size() != p.OrigLen)
                    return Fail("a compressed piece does not inflate to its OrigLen");
                at += p.ComprLen;
            } else {
                at += p.OrigLen;
            }
        }
        totalTimes.push_back(Seconds(start));
    }
    const TTimes outer = Summarise(outerTimes), total = Summarise(totalTimes);
    std::printf("{\"pieces\": %zu, \"payload_bytes\": %llu, \"section_bytes\": %zu, \"stream_bytes\": %llu, "
                "\"outer_best_s\": %.4f, \"outer_median_s\": %.4f, \"ours_best_s\": %.4f, \"ours_median_s\": %.4f",
                pieces.size(), static_cast<unsigned long long>(fileBytes), payloadStream.size(),
                static_cast<unsigned long long>(streamBytes), outer.Best, outer.Median, total.Best, total.Median);

    if (!payloadDir.empty()) {
        std::vector<std::string> compressed;
        std::vector<std::size_t> sizes;
        std::uint64_t compressedBytes = 0, rawBytes = 0;
        std::string data;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(payloadDir)) {
            if (!entry.is_regular_file()) continue;
            if (!ReadAll(entry.path(), data)) return Fail("cannot read " + entry.path().string());
            uLongf bound = compressBound(data.size());
            std::string out(bound, '\0');
            if (compress2(reinterpret_cast<Bytef*>(&out[0]), &bound, reinterpret_cast<const Bytef*>(data.data()),
                          data.size(), 9) != Z_OK)
                return Fail("compress2 failed");
            out.resize(bound);
            compressedBytes += out.size();
            rawBytes += data.size();
            sizes.push_back(data.size());
            compressed.push_back(std::move(out));
        }
        std::vector<double> times;
        std::string out;
        for (int run = 0; run < repeat; ++run) {
            const Clock::time_point start = Clock::now();
            for (std::size_t i = 0; i < compressed.size(); ++i) {
                out.resize(sizes[i]);
                uLongf length = sizes[i];
                if (uncompress(reinterpret_cast<Bytef*>(&out[0]), &length,
                               reinterpret_cast<const Bytef*>(compressed[i].data()), compressed[i].size()) != Z_OK ||
                    length != sizes[i])
                    return Fail("a per-file stream does not inflate");
            }
            times.push_back(Seconds(start));
        }
        const TTimes perFile = Summarise(times);
        std::printf(", \"perfile_files\": %zu, \"perfile_raw_bytes\": %llu, \"perfile_zlib9_bytes\": %llu, "
                    "\"perfile_best_s\": %.4f, \"perfile_median_s\": %.4f",
                    compressed.size(), static_cast<unsigned long long>(rawBytes),
                    static_cast<unsigned long long>(compressedBytes), perFile.Best, perFile.Median);
    }
    std::printf("}\n");
    return 0;
}
