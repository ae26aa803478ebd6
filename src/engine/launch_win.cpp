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

bool LaunchMainProgram()
{
    if (Engine.MainProgram.empty()) return false;
    // The path goes unquoted, as the product has always been started.
    std::string commandLine = Engine.MainProgram;
    if (!Engine.LaunchParams.empty()) commandLine += " " + Engine.LaunchParams;
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOW;
    PROCESS_INFORMATION process = {};
    if (CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                       &process)) {
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    return true;
}
