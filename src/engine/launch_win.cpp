// The "exec" command and the start of the installed program after a
// successful installation.
#include <windows.h>

#include "engine/commands.h"
#include "engine/engine_state.h"
#include "engine/uninstaller.h"

void ExecCommand(const TParams& params)
{
    Engine.LaunchParams = ParamValue(params, "params");
}

std::string LaunchCommandLine()
{
    std::string commandLine = Engine.MainProgram;
    if (commandLine.find_first_of(" \t") != std::string::npos) commandLine = "\"" + commandLine + "\"";
    if (!Engine.LaunchParams.empty()) commandLine += " " + Engine.LaunchParams;
    return commandLine;
}

bool LaunchMainProgram()
{
    if (Engine.MainProgram.empty()) return false;
    // Naming the file separately keeps a path with blanks from starting
    // C:\Program.exe and the like.
    std::string commandLine = LaunchCommandLine();
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOW;
    PROCESS_INFORMATION process = {};
    if (CreateProcessA(Engine.MainProgram.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                       &process)) {
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    return true;
}
