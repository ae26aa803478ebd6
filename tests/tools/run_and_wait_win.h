#pragma once
// Starts a program and waits for it, as the packed-installer tests run
// Setup.exe and uninstall.exe.
#include <windows.h>

#include <string>

#include "util/win_handles.h"

// Runs the command line and waits at most two minutes; the exit code, or -1.
inline long RunAndWait(const std::string& commandLine)
{
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    std::string line = commandLine;
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return -1;
    FileHandle processHandle(process.hProcess);
    FileHandle threadHandle(process.hThread);
    if (WaitForSingleObject(process.hProcess, 120000) != WAIT_OBJECT_0) return -1;
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    return static_cast<long>(code);
}
