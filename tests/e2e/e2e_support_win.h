#pragma once
// Helpers of the end-to-end tests: installers made from the built Setup.exe,
// child processes, and reading the 32-bit registry view.
#include <windows.h>

#include <string>
#include <vector>

// One file of a test package.
struct TPackageFile {
    std::string Name;     // below *PgmPath*, e.g. "Help\\en\\manual.htm"
    std::string Contents;
    bool Compressed = false;
    bool KeepExisting = false; // "saveifnotexists"
};

// The Setup.exe built beside the test program (build/<preset>/src/app/Setup.exe).
std::string BuiltSetupPath();

// The image part of Setup.exe, up to its begin marker.
std::string SetupImage();

// The script lines saving the files, in order, and the payload they consume.
std::vector<std::string> SaveLines(const std::vector<TPackageFile>& files, std::string& payload);

// Setup.exe's image with the sections of a package behind it.
std::string MakeInstaller(const std::vector<std::string>& scriptLines, const std::string& payload,
                          const std::string& languageText);

// The payload section in the solid form: one xz stream (LZMA2) in blocks of
// blockSize bytes, as the packer writes it; and the check item that goes
// ahead of it.
std::string SolidPayloadSection(const std::string& payload, std::size_t blockSize);
std::string PayloadCheckItemFor(const std::string& section, std::size_t decodedSize);

// UTF-16 LE with FF FE from ASCII text.
std::string Utf16LeWithMark(const std::string& ascii);

struct TRunResult {
    DWORD ExitCode = 0xFFFFFFFF;
    std::string StandardError;
};

// Runs a command line and waits for it (at most two minutes; a hang fails the test).
TRunResult RunProgram(const std::string& commandLine);

// Registry, 32-bit view.
std::string RegString(HKEY root, const std::string& path, const std::string& name);
DWORD RegDword(HKEY root, const std::string& path, const std::string& name);
bool RegKeyExists(HKEY root, const std::string& path);
std::vector<std::string> RegSubkeys(HKEY root, const std::string& path);
void RegSetString(HKEY root, const std::string& path, const std::string& name, const std::string& value);
void RegDeleteTreeAt(HKEY root, const std::string& path);

bool PathExists(const std::string& path);

// A top-level window of the process with the class and, unless null, the
// title; null when it has none. Looking by process keeps a test from taking
// (and closing) a window of another program.
HWND ProcessWindow(DWORD process, const char* className, const char* title = nullptr);

struct TShortcut {
    bool Loaded = false;
    std::string Target, Arguments, WorkingFolder;
};
// Reads a shortcut file back through the shell link object (COM initialised by the caller).
TShortcut ReadShortcut(const std::string& path);
