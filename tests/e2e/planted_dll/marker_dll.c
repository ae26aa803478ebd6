/* A DLL that only tells that it was loaded: on attach it creates the file
   "<its own file name>.loaded" in the folder named by the environment
   variable SETUP_PLANTED_DLL_MARKERS. Copied under the names of system DLLs
   beside an installer, it shows which of them the installer would load. */
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved)
{
    (void)reserved;
    if (reason != DLL_PROCESS_ATTACH) return TRUE;
    char marker[MAX_PATH * 2];
    const DWORD length = GetEnvironmentVariableA("SETUP_PLANTED_DLL_MARKERS", marker, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return TRUE;
    char module[MAX_PATH];
    const DWORD moduleLength = GetModuleFileNameA(instance, module, MAX_PATH);
    if (moduleLength == 0 || moduleLength >= MAX_PATH) return TRUE;
    const char* name = module;
    for (const char* c = module; *c; ++c)
        if (*c == '\\' || *c == '/') name = c + 1;
    lstrcatA(marker, "\\");
    lstrcatA(marker, name);
    lstrcatA(marker, ".loaded");
    HANDLE file = CreateFileA(marker, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    return TRUE;
}
