#include "mksetup/console.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

bool StandardErrorIsTerminal()
{
    return isatty(STDERR_FILENO) != 0;
}

void UseBinaryStandardOutput() {}

int RunShellCommand(const std::string& command)
{
    // What the packer wrote so far goes out before the command's own output.
    std::fflush(nullptr);
    const int status = std::system(command.c_str());
    if (status == -1 || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}

std::string QuoteForShell(const std::string& path)
{
    std::string quoted = "'";
    for (char c : path) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

std::string ShellPathProblem(const std::string&)
{
    return std::string(); // single quotes keep every byte
}
