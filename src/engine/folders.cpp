#include "engine/folders.h"

std::string WithoutTrailingBackslashes(const std::string& path)
{
    std::size_t end = path.size();
    while (end > 0 && path[end - 1] == '\\') --end;
    return path.substr(0, end);
}

std::string ParentFolder(const std::string& path)
{
    const std::size_t last = path.find_last_of("\\:");
    if (last == std::string::npos) return std::string();
    std::size_t length = last + 1;
    // "C:\" and "\\" keep their backslash; elsewhere the separator goes.
    if (path[last] == '\\' && last > 0 && path[last - 1] != ':' && path[last - 1] != '\\') length = last;
    return path.substr(0, length);
}

std::string FolderPartOf(const std::string& path)
{
    const std::size_t last = path.find_last_of("\\:");
    return last == std::string::npos ? std::string() : path.substr(0, last + 1);
}

std::string AdministratorToAllUsers(const std::string& path)
{
    std::string result = path;
    const std::size_t position = result.find("\\Administrator\\");
    if (position != std::string::npos) result.replace(position, 14, "\\All Users");
    return result;
}
