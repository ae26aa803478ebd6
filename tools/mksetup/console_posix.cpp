#include "mksetup/console.h"

#include <unistd.h>

bool StandardErrorIsTerminal()
{
    return isatty(STDERR_FILENO) != 0;
}

void UseBinaryStandardOutput() {}
