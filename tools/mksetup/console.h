#pragma once
// The few console and process properties the packer needs from the OS.
#include <string>

// Whether standard error goes to a terminal (progress is shown only there).
bool StandardErrorIsTerminal();

// Standard output passes bytes unchanged (no CR added before LF).
void UseBinaryStandardOutput();

// Runs a command line through the system's shell (sh -c, cmd /c) and waits
// for it; its exit code, or -1 when it could not be started or was killed.
int RunShellCommand(const std::string& command);

// A path as one argument of that shell.
std::string QuoteForShell(const std::string& path);

// Why a path cannot be given to that shell as it is, or empty when it can:
// cmd expands %NAME% even between quotes (and Wine's cmd expands the value of
// a variable again), so there a path with % is refused.
std::string ShellPathProblem(const std::string& path);
