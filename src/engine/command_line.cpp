#include "engine/command_line.h"

#include "engine/engine_state.h"

std::string AsciiLowerCase(const std::string& text)
{
    std::string lower = text;
    for (char& c : lower)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return lower;
}

void ApplyCommandLine(const std::string& programPath, const std::vector<std::string>& arguments)
{
    const std::size_t separator = programPath.find_last_of("\\/:");
    const std::string fileName = separator == std::string::npos ? programPath : programPath.substr(separator + 1);
    Engine.UninstallMode = AsciiLowerCase(fileName) == "uninstall.exe";
    Engine.CommandLineParams.clear();
    for (const std::string& argument : arguments) {
        if (AsciiLowerCase(argument) == "/uninst") Engine.UninstallMode = true;
        Engine.CommandLineParams.push_back(argument);
    }
}
