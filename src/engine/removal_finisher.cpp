#include "engine/removal_finisher.h"

#include "engine/command_line.h"
#include "util/text_compare.h"

namespace {

const char Switch[] = "/finishremoval=";

std::string WithoutFinalBackslash(std::string path)
{
    while (!path.empty() && path.back() == '\\') path.pop_back();
    return path;
}

} // namespace

std::string FinisherArgument(unsigned long processId, const std::string& uninstallerPath)
{
    return "/FINISHREMOVAL=" + std::to_string(processId) + "|" + uninstallerPath;
}

bool ParseFinisherArgument(const std::string& argument, unsigned long& processId, std::string& uninstallerPath)
{
    const std::size_t length = sizeof(Switch) - 1;
    if (AsciiLowerCase(argument.substr(0, length)) != Switch) return false;
    const std::size_t bar = argument.find('|', length);
    if (bar == std::string::npos || bar == length || bar + 1 == argument.size()) return false;
    processId = 0;
    for (std::size_t i = length; i < bar; ++i) {
        if (argument[i] < '0' || argument[i] > '9') return false;
        processId = processId * 10 + static_cast<unsigned long>(argument[i] - '0');
    }
    uninstallerPath = argument.substr(bar + 1);
    return true;
}

bool UninstallerBelongsToList(const std::vector<std::string>& list, const std::string& ownPath)
{
    const std::size_t separator = ownPath.find_last_of('\\');
    const std::string folder = separator == std::string::npos ? std::string() : ownPath.substr(0, separator);
    for (const std::string& line : list) {
        if (line.compare(0, 5, "file=") == 0 && SameTextIgnoreCase(line.substr(5), ownPath)) return true;
        if (line.compare(0, 4, "dir=") == 0 && !folder.empty() &&
            SameTextIgnoreCase(WithoutFinalBackslash(line.substr(4)), folder))
            return true;
    }
    return false;
}
