#pragma once
// The packer's failures: a message for the user and the exit code that the
// command ends with (the codes are listed in the README).
#include <string>

#include "util/exception.h"

enum ToolExitCode {
    ExitOk = 0,
    ExitUsage = 1,        // bad command line
    ExitBadInput = 2,     // package, language file, stub or input file unusable
    ExitBadInstaller = 3, // an installer or uninstaller that does not check out
    ExitWriteFailed = 4,  // an output file or folder could not be written
};

class ToolError : public Exception {
public:
    ToolError(ToolExitCode code, const std::string& message) : Exception(message), Code(code) {}
    ToolExitCode Code;
};
