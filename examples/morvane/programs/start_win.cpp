// Start.exe, the demo product's launcher (the target of its shortcuts): starts
// Morvane.exe from its own folder with the arguments it was given itself and
// does not wait for it.
#include <windows.h>

#include <string>

#include "util/win_handles.h"

namespace {

// The command line without the program's own (possibly quoted) path.
std::string ArgumentsPart(const char* commandLine)
{
    const char* p = commandLine;
    if (*p == '"') {
        ++p;
        while (*p && *p != '"') ++p;
        if (*p) ++p;
    } else {
        while (*p && *p != ' ' && *p != '\t') ++p;
    }
    while (*p == ' ' || *p == '\t') ++p;
    return p;
}

} // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int show)
{
    char own[MAX_PATH * 4];
    const DWORD length = GetModuleFileNameA(nullptr, own, sizeof(own));
    if (length == 0 || length >= sizeof(own)) return 1;
    std::string folder(own, length);
    folder.erase(folder.find_last_of('\\') + 1);
    const std::string program = folder + "Morvane.exe";

    std::string commandLine = "\"" + program + "\"";
    const std::string arguments = ArgumentsPart(GetCommandLineA());
    if (!arguments.empty()) commandLine += " " + arguments;

    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = static_cast<WORD>(show);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(),
                        &startup, &process)) {
        MessageBoxA(nullptr, ("Cannot start " + program).c_str(), "Morvane", MB_ICONERROR);
        return 1;
    }
    FileHandle processHandle(process.hProcess);
    FileHandle threadHandle(process.hThread);
    return 0;
}
