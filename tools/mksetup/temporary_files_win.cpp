#include <windows.h>

#include <atomic>

#include "mksetup/temporary_files.h"
#include "mksetup/tool_error.h"

namespace {

std::atomic<bool> Interrupted{false};

BOOL WINAPI OnConsoleEvent(DWORD event)
{
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) return FALSE;
    // Open and mapped files cannot be deleted from this thread: the command
    // stops at its next step and its owners remove them. A second press ends
    // the process at once.
    if (Interrupted.exchange(true)) return FALSE;
    return TRUE;
}

} // namespace

void RemoveTemporariesOnInterrupt()
{
    SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}

void StopIfInterrupted()
{
    if (Interrupted.load()) throw ToolError(ExitWriteFailed, "interrupted; nothing was written");
}
