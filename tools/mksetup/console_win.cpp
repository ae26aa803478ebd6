#include "mksetup/console.h"

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdio>

bool StandardErrorIsTerminal()
{
    DWORD mode;
    return GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
}

void UseBinaryStandardOutput()
{
    _setmode(_fileno(stdout), _O_BINARY);
}
