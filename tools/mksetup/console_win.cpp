#include "mksetup/console.h"

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdio>

#include "util/win_handles.h"

bool StandardErrorIsTerminal()
{
    DWORD mode;
    return GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
}

void UseBinaryStandardOutput()
{
    _setmode(_fileno(stdout), _O_BINARY);
}

int RunShellCommand(const std::string& command)
{
    std::fflush(nullptr);
    char shell[MAX_PATH] = {};
    if (!GetEnvironmentVariableA("ComSpec", shell, MAX_PATH)) lstrcpyA(shell, "cmd.exe");
    // /s with outer quotes: cmd takes everything between them as the command,
    // quotes of the command included. /v:off: no !NAME! expansion, whatever
    // the registry enables.
    std::string line = "\"" + std::string(shell) + "\" /v:off /s /c \"" + command + "\"";
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process))
        return -1;
    FileHandle processHandle(process.hProcess);
    FileHandle threadHandle(process.hThread);
    if (WaitForSingleObject(process.hProcess, INFINITE) != WAIT_OBJECT_0) return -1;
    DWORD code = 0;
    if (!GetExitCodeProcess(process.hProcess, &code)) return -1;
    return static_cast<int>(code);
}

std::string QuoteForShell(const std::string& path)
{
    // A Windows path holds no double quote.
    return "\"" + path + "\"";
}

std::string ShellPathProblem(const std::string& path)
{
    if (path.find('%') == std::string::npos) return std::string();
    return "cmd would expand the % in " + path + "; choose a name and folder without %";
}
