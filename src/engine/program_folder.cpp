#include "engine/program_folder.h"

#include "util/text_compare.h"

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

std::string NormalizedPath(const std::string& path)
{
    std::string result;
    for (char c : path) {
        if (c == '/') c = '\\';
        // A network path keeps its two leading separators.
        if (c == '\\' && result.size() > 1 && result.back() == '\\') continue;
        result += c;
    }
    return result;
}

bool SamePath(const std::string& a, const std::string& b)
{
    return SameTextIgnoreCase(NormalizedPath(a), NormalizedPath(b));
}

bool ValidateProgramFolder(std::string& folder)
{
    folder = NormalizedPath(Trimmed(folder));
    const bool drivePath = folder.size() >= 2 && folder[1] == ':';
    const bool networkPath = folder.size() >= 2 && folder[0] == '\\' && folder[1] == '\\';
    if (!drivePath && !networkPath) return false;
    if (folder.back() != '\\') folder += '\\';
    // The installation's paths are compared with the system's as they stand.
    if (folder.find("\\.\\") != std::string::npos || folder.find("\\..\\") != std::string::npos) return false;
    return FolderOf(folder.substr(0, folder.size() - 1)).size() >= 3;
}
