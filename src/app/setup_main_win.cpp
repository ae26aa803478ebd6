#include <windows.h>

#include "container/sections.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    LoadOwnSections();
    return 0;
}
