#include "engine/uninstall_list.h"

#include "engine/extraction.h"
#include "engine/folders.h"
#include "engine/program_folder.h"
#include "util/text_compare.h"

namespace {

const char FilePrefix[] = "file=";
const char DirPrefix[] = "dir=";

bool StartsWith(const std::string& text, const char* prefix)
{
    return text.compare(0, std::char_traits<char>::length(prefix), prefix) == 0;
}

} // namespace

void SetListValue(TTextLines& lines, const std::string& name, const std::string& value)
{
    for (auto line = lines.begin(); line != lines.end(); ++line) {
        const std::size_t equals = line->find('=');
        if (equals == std::string::npos || !SameTextIgnoreCase(line->substr(0, equals), name)) continue;
        if (value.empty())
            lines.erase(line);
        else
            *line = name + "=" + value;
        return;
    }
    if (!value.empty()) lines.push_back(name + "=" + value);
}

std::string BuildUninstallListText(const TTextLines& info, const TTextLines& writtenFiles,
                                   const TTextLines& createdFolders)
{
    std::string text;
    for (const std::string& line : info) text += line + "\r\n";
    for (const std::string& file : writtenFiles) text += FilePrefix + file + "\r\n";
    // Descending, so that the removal can go from the last line up in ascending order.
    for (auto folder = createdFolders.rbegin(); folder != createdFolders.rend(); ++folder)
        text += DirPrefix + *folder + "\r\n";
    return text;
}

bool IsKeptDataFile(const std::string& path)
{
    const std::string extension = LowerCaseExtension(path);
    return extension == ".ada" || extension == ".alg" || extension == ".bdb";
}

std::string ListedMainProgram(const TTextLines& lines, const std::string& uninstallerPath)
{
    const std::size_t filePrefixLength = sizeof(FilePrefix) - 1;
    for (const std::string& line : lines) {
        if (!StartsWith(line, FilePrefix)) continue;
        const std::string path = line.substr(filePrefixLength);
        if (LowerCaseExtension(path) == ".exe" && !SamePath(path, uninstallerPath)) return path;
    }
    return std::string();
}

void RunUninstallPasses(TTextLines lines, TUninstallActions& actions)
{
    const std::size_t filePrefixLength = sizeof(FilePrefix) - 1;
    const std::size_t dirPrefixLength = sizeof(DirPrefix) - 1;

    for (std::size_t i = lines.size(); i-- > 0;) {
        if (!StartsWith(lines[i], FilePrefix)) continue;
        const std::string path = lines[i].substr(filePrefixLength);
        lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(i));
        if (!IsKeptDataFile(path)) actions.DeleteFileAt(path);
    }

    // A folder is tried before its subfolders here; the parents pass below
    // catches those that only became empty later.
    for (std::size_t i = lines.size(); i-- > 0;) {
        if (StartsWith(lines[i], DirPrefix))
            actions.RemoveEmptyFolder(lines[i].substr(dirPrefixLength));
        else
            lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(i));
    }

    for (const std::string& line : lines)
        actions.RemoveEmptyFolder(ParentFolder(line.substr(dirPrefixLength, 16383)));
}
