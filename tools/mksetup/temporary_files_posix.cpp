#include <signal.h>
#include <unistd.h>

#include "mksetup/temporary_files.h"

namespace {

void RemovePath(const char* path)
{
    unlink(path);
}

void OnInterrupt(int signal)
{
    ForEachTemporaryPath(RemovePath);
    // The handler was reset to the default: the process ends as the signal says.
    raise(signal);
}

} // namespace

void RemoveTemporariesOnInterrupt()
{
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    action.sa_flags = SA_RESETHAND;
    sigemptyset(&action.sa_mask);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) sigaction(signal, &action, nullptr);
}

void StopIfInterrupted() {}
