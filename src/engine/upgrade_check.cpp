#include "engine/upgrade_check.h"

#include <map>
#include <unordered_set>

#include "engine/setup_script.h"
#include "util/ansi_strings.h"
#include "util/case_key.h"

namespace {

const unsigned long ErrorDiskFull = 112; // winerror.h, so that the rules stay portable

std::unordered_set<std::string>& UnchangedFiles()
{
    static std::unordered_set<std::string> files;
    return files;
}

// What the run writes on one volume.
struct TVolumeNeed {
    std::uint64_t Bytes = 0;
    std::string FirstPath;
};

} // namespace

std::vector<TPlannedFile> PlannedFilesOf(const std::vector<std::string>& lines, std::size_t first,
                                         std::string (*expand)(const std::string&), std::uint64_t uninstallerSize)
{
    std::vector<TPlannedFile> files;
    std::size_t piece = 0;
    for (std::size_t i = first; i < lines.size(); ++i) {
        const TParams params = SplitCommaText(lines[i]);
        const TScriptAction action = LineAction(params);
        if (action == TScriptAction::Uninst) {
            const std::string pgm = ParamValue(params, "pgm");
            TPlannedFile uninstaller;
            uninstaller.Path = expand(pgm.empty() ? "*PgmPath*\\uninstall.exe" : pgm);
            uninstaller.Size = uninstallerSize;
            files.push_back(std::move(uninstaller));
        }
        if (action != TScriptAction::Save && action != TScriptAction::SaveIfNotExists) continue;
        const std::size_t number = piece++;
        const std::string name = ParamValue(params, "Filename");
        const std::int32_t size = TextToIntOrMinusOne(ParamValue(params, "OrigLen"));
        if (name.empty() || size <= 0) continue;
        TPlannedFile file;
        file.Path = expand(name);
        file.Size = static_cast<std::uint64_t>(size);
        file.KeepExisting = action == TScriptAction::SaveIfNotExists;
        file.HasHash = ParseSha256Hex(ParamValue(params, "Hash"), file.Hash);
        file.Piece = number;
        files.push_back(std::move(file));
    }
    return files;
}

std::string VolumeOf(const std::string& path)
{
    if (path.size() >= 3 && path[1] == ':' && path[2] == '\\') return path.substr(0, 3);
    if (path.compare(0, 2, "\\\\") != 0) return std::string();
    const std::size_t server = path.find('\\', 2);
    const std::size_t share = server == std::string::npos ? server : path.find('\\', server + 1);
    return share == std::string::npos ? std::string() : path.substr(0, share + 1);
}

TCheckResult CheckPlannedFiles(const std::vector<TPlannedFile>& files, TTargetProbe& probe)
{
    // What is there first, then every candidate hashed at once (on more than
    // one thread where the probe can), then the verdicts in script order.
    enum TState { Absent, Kept, Present, Candidate };
    std::vector<TState> states(files.size(), Absent);
    std::vector<std::string> keys(files.size()), candidates;
    std::unordered_set<std::string> seen;
    for (std::size_t i = 0; i < files.size(); ++i) {
        const TPlannedFile& file = files[i];
        keys[i] = CaseInsensitiveKey(file.Path);
        // A file named again is written over what the run wrote before.
        std::uint64_t size = 0;
        if (!seen.insert(keys[i]).second || !probe.Exists(file.Path, size)) continue;
        states[i] = file.KeepExisting ? Kept : file.HasHash && size == file.Size ? Candidate : Present;
        if (states[i] == Candidate) candidates.push_back(file.Path);
    }
    std::vector<TSha256> digests(candidates.size());
    std::vector<char> hashed(candidates.size(), 0);
    if (!candidates.empty()) probe.HashFiles(candidates, digests, hashed);

    TCheckResult result;
    std::map<std::string, TVolumeNeed> needs;
    std::size_t candidate = 0;
    for (std::size_t i = 0; i < files.size(); ++i) {
        const TPlannedFile& file = files[i];
        if (states[i] == Kept) continue;
        if (states[i] == Candidate && hashed[candidate] && digests[candidate] == file.Hash) {
            ++candidate;
            result.Unchanged.push_back(keys[i]);
            result.UnchangedPieces.push_back(file.Piece);
            continue;
        }
        if (states[i] == Candidate) ++candidate;
        if (states[i] != Absent) {
            if (const unsigned long error = probe.Replaceable(file.Path)) {
                result.FailedPath = file.Path;
                result.Error = error;
                return result;
            }
        }
        TVolumeNeed& need = needs[CaseInsensitiveKey(VolumeOf(file.Path))];
        if (need.FirstPath.empty()) need.FirstPath = file.Path;
        need.Bytes += file.Size;
    }
    for (const auto& [volume, need] : needs) {
        std::uint64_t free = 0;
        if (volume.empty() || !probe.FreeBytes(VolumeOf(need.FirstPath), free) || free >= need.Bytes) continue;
        result.FailedPath = need.FirstPath;
        result.Error = ErrorDiskFull;
        return result;
    }
    return result;
}

void SetUnchangedFiles(const std::vector<std::string>& keys)
{
    UnchangedFiles() = std::unordered_set<std::string>(keys.begin(), keys.end());
}

bool TakeUnchangedFile(const std::string& path)
{
    return !UnchangedFiles().empty() && UnchangedFiles().erase(CaseInsensitiveKey(path)) > 0;
}
