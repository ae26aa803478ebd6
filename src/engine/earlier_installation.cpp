#include "engine/earlier_installation.h"

#include <unordered_set>

#include "container/sections.h"
#include "container/zlib_wrapper.h"
#include "engine/command_text.h"
#include "engine/folders.h"
#include "util/case_key.h"
#include "util/file_helpers.h"

TCarriedEntries CarriedEntries(const std::vector<std::string>& earlierList,
                               const std::vector<std::string>& writtenFiles,
                               const std::vector<std::string>& keptFiles, const std::string& uninstallerPath,
                               bool (*exists)(const std::string& path))
{
    std::unordered_set<std::string> ours{CaseInsensitiveKey(uninstallerPath)};
    for (const std::string& file : writtenFiles) ours.insert(CaseInsensitiveKey(file));
    for (const std::string& file : keptFiles) ours.insert(CaseInsensitiveKey(file));
    std::unordered_set<std::string> earlierFolders;
    for (const std::string& line : earlierList)
        if (line.compare(0, 4, "dir=") == 0) earlierFolders.insert(CaseInsensitiveKey(line.substr(4)));

    TCarriedEntries carried;
    std::unordered_set<std::string> folders;
    for (const std::string& line : earlierList) {
        if (line.compare(0, 5, "file=") != 0) continue;
        const std::string path = line.substr(5);
        if (!ours.insert(CaseInsensitiveKey(path)).second || !exists(path)) continue;
        carried.Files.push_back(path);
        // The folder as the earlier list named it, so that removal tries it when it empties.
        const std::string folder = WithoutTrailingBackslashes(FolderPartOf(path));
        const std::string key = CaseInsensitiveKey(folder);
        if (earlierFolders.count(key) && folders.insert(key).second) carried.Folders.push_back(folder);
    }
    return carried;
}

std::vector<std::string> UninstallListOfFile(const std::string& path)
{
    std::string bytes, image, container, list;
    if (!ReadWholeFile(path, bytes)) return {};
    SplitAtBeginMarker(bytes, image, container);
    if (!FindSection(SectionUninst, container, list) || list.empty()) return {};
    // A damaged list is one that cannot be read: the run goes on without it.
    try {
        return SplitLines(DecompressString(list));
    } catch (const EZLibError&) {
        return {};
    }
}
