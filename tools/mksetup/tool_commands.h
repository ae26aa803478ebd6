#pragma once
// The packer's command line: build, list, script, uninst, extract, verify.
#include <iosfwd>
#include <string>
#include <vector>

// args without the program name. Returns the exit code (see ToolExitCode);
// normal output goes to out, messages and progress to err.
int RunTool(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, bool showProgress);
