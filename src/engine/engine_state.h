#pragma once
// The process-wide state of the setup engine, shared by every command handler
// and read and set by the windows.
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>
using TWindowHandle = HWND;
#else
using TWindowHandle = void*;
#endif

struct TEngineState {
    std::string PgmPath;          // program folder, ends with "\" when set from a parameter
    std::string DataPath;         // data folder
    std::string DataPathPgmPath;  // the PgmPath that DataPath was expanded with, when the script's value names *PgmPath*
    std::string MyStartMenu;      // the product's start-menu folder
    std::string RegistryKey;      // "SOFTWARE\" + the script's "Registry" value
    std::string SetupVersion;     // the script's "Version" value
    std::string LanguageCode;     // chosen interface language, at most 3 characters
    std::string LanguageFileText; // the language file copied into the uninstaller
    std::string MainProgram;      // the first saved ".exe"
    std::string LaunchParams;     // parameters for launching MainProgram
    TWindowHandle OwnerWindow = nullptr;
    bool QuietErrors = false;
    bool CreateDesktopLinks = false;
    std::string ErrorText;                      // every error so far, each followed by "; "
    std::vector<std::string> CommandLineParams; // arguments, the program path excluded
    bool UninstallMode = false;
    std::vector<std::string> CreatedFolders;    // sorted ascending, letter case ignored, no duplicates
    std::vector<std::string> WrittenFiles;      // in writing order, duplicates kept
    std::vector<std::string> KeptFiles;         // existing files that "saveifnotexists" left alone
    std::vector<std::string> UninstallInfo;     // "UninstallKey=..." and "Lng=..." lines
    std::string UninstallerPath;
};

// The one engine state of the process.
extern TEngineState Engine;

// Back to the state of program start (tests run several installations in one process).
void ResetEngineState();

// Inserts a folder into CreatedFolders at its sorted place unless an entry
// equal without regard to letter case is there.
void AddCreatedFolder(const std::string& folder);
