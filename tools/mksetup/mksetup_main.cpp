// mksetup: the packer's entry point; everything else is in the library so
// that the tests run the same code.
#include <iostream>
#include <string>
#include <vector>

#include "mksetup/console.h"
#include "mksetup/temporary_files.h"
#include "mksetup/tool_commands.h"

int main(int argc, char** argv)
{
    UseBinaryStandardOutput();
    RemoveTemporariesOnInterrupt();
    const std::vector<std::string> args(argv + 1, argv + argc);
    return RunTool(args, std::cout, std::cerr, StandardErrorIsTerminal());
}
