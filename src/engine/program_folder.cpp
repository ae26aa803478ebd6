#include "engine/program_folder.h"

namespace {

std::string Trimmed(const std::string& text)
{
    std::size_t first = 0;
    std::size_t last = text.size();
    while (first < last && static_cast<unsigned char>(text[first]) <= 32) ++first;
    while (last > first && static_cast<unsigned char>(text[last - 1]) <= 32) --last;
    return text.substr(first, last - first);
}

// The text up to its last "\" or ":", that "\" dropped unless it is the first
// character or follows a "\" or ":".
std::string FolderOf(const std::string& path)
{
    const std::size_t delimiter = path.find_last_of("\\:");
    if (delimiter == std::string::npos) return std::string();
    if (path[delimiter] == '\\' && delimiter > 0 && path[delimiter - 1] != '\\' && path[delimiter - 1] != ':')
        return path.substr(0, delimiter);
    return path.substr(0, delimiter + 1);
}

} // namespace

bool ValidateProgramFolder(std::string& folder)
{
    folder = Trimmed(folder);
    const bool drivePath = folder.size() >= 2 && folder[1] == ':';
    const bool networkPath = folder.size() >= 2 && folder[0] == '\\' && folder[1] == '\\';
    if (!drivePath && !networkPath) return false;
    if (folder.back() != '\\') folder += '\\';
    return FolderOf(folder.substr(0, folder.size() - 1)).size() >= 3;
}
