#include "engine/command_line.h"

#include <windows.h>
#include <shellapi.h>

#include "util/file_helpers.h"

namespace {

// Arguments are split by the system's rules on the UTF-16 command line, then
// converted to the ANSI code page like every other 8-bit text of the engine.
std::string WideToAnsiText(const wchar_t* text)
{
    const int size = WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (size <= 1) return std::string();
    std::string result(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_ACP, 0, text, -1, result.data(), size, nullptr, nullptr);
    result.resize(static_cast<std::size_t>(size - 1));
    return result;
}

} // namespace

std::vector<std::string> CommandLineArguments(const wchar_t* commandLine)
{
    std::vector<std::string> arguments;
    int count = 0;
    if (LPWSTR* list = CommandLineToArgvW(commandLine, &count)) {
        for (int i = 1; i < count; ++i) arguments.push_back(WideToAnsiText(list[i]));
        LocalFree(list);
    }
    return arguments;
}

void ReadCommandLine()
{
    ApplyCommandLine(OwnExecutablePath(), CommandLineArguments(GetCommandLineW()));
}
