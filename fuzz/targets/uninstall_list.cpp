// The uninstall list as the uninstaller reads it: the section's data
// decompressed (or, for the first input byte odd, taken as text), split into
// lines, read by name, and the removal passes run against a recorder: nothing
// is deleted that no "file=" line names, no folder is touched that is neither
// listed nor the parent of a listed one, data files are kept.
#include <set>
#include <string>

#include "container/zlib_wrapper.h"
#include "engine/command_text.h"
#include "engine/folders.h"
#include "engine/uninstall_list.h"
#include "fuzz_targets.h"

namespace {

class TRecorder : public TUninstallActions {
public:
    void DeleteFileAt(const std::string& path) override { Deleted.push_back(path); }
    void RemoveEmptyFolder(const std::string& path) override { Folders.push_back(path); }
    std::vector<std::string> Deleted;
    std::vector<std::string> Folders;
};

} // namespace

int FuzzUninstallList(const std::uint8_t* data, std::size_t size)
{
    if (size == 0) return 0;
    std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);
    if ((data[0] & 1) == 0) {
        try {
            text = DecompressString(text);
        } catch (const EZDecompressionError&) {
            return 0; // the uninstaller ends with the decompression message
        }
    }
    const std::vector<std::string> lines = SplitLines(text);
    ParamValue(lines, "UninstallKey");
    ParamValue(lines, "Lng");

    std::multiset<std::string> files;
    std::set<std::string> folders;
    for (const std::string& line : lines) {
        if (line.compare(0, 5, "file=") == 0) files.insert(line.substr(5));
        if (line.compare(0, 4, "dir=") == 0) {
            folders.insert(line.substr(4));
            folders.insert(ParentFolder(line.substr(4, 16383)));
        }
    }
    TRecorder recorder;
    RunUninstallPasses(lines, recorder);
    for (const std::string& path : recorder.Deleted) {
        FuzzCheck(files.count(path) > 0, "only listed files are deleted");
        FuzzCheck(!IsKeptDataFile(path), "data files are kept");
        files.erase(files.find(path));
    }
    for (const std::string& folder : recorder.Folders)
        FuzzCheck(folders.count(folder) > 0, "only listed folders and their parents are removed");

    // The list the installer writes reads back to the same lines.
    TTextLines info, written, created;
    bool inOrder = true;
    for (const std::string& line : lines) {
        if (line.compare(0, 5, "file=") == 0) {
            written.push_back(line.substr(5));
        } else if (line.compare(0, 4, "dir=") != 0) {
            inOrder = inOrder && written.empty();
            info.push_back(line);
        }
    }
    if (inOrder && info.size() + written.size() == lines.size())
        FuzzCheck(SplitLines(BuildUninstallListText(info, written, created)) == lines, "the list reads back");
    return 0;
}
