#pragma once
// What the fault tests share beyond the end-to-end helpers: a product of many
// small files, a child process that can be killed, and checks of the
// installed state.
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "e2e_support_win.h"
#include "support/test_support.h"

extern const char* const UninstallListKey;

// A started program; killed (if still running) when it goes out of scope.
class TChild {
public:
    explicit TChild(const std::string& commandLine);
    ~TChild();
    TChild(const TChild&) = delete;
    TChild& operator=(const TChild&) = delete;
    bool Running() const;
    // Polls until seen() holds or the program ends (bounded by two minutes);
    // then ends it at once. True when it was killed while still running.
    bool KillWhen(const std::function<bool()>& seen);
    // Waits for its end (at most two minutes); its exit code, or 0xFFFFFFFF.
    DWORD Wait();

private:
    PROCESS_INFORMATION process_ = {};
};

// One product under test: its script, files and installer.
struct TProduct {
    std::string Name;     // the uninstall entry's name
    std::string Registry; // below SOFTWARE
    std::vector<TPackageFile> Files;
    std::string Installer;

    // Writes the installer for the files (the first one, an .exe, is the main
    // program), with a two-line language file unless one is given.
    void Build(const std::string& installerPath, const std::string& defaultFolder,
               const std::string& languageFile = "");
    std::string InstallCommand(const std::string& folder) const;
    // Deletes the registry keys and uninstall entries of the product.
    void RemoveRegistration() const;
    // How many uninstall entries the product has.
    int UninstallEntries() const;
};

// The files below folder (recursively) named as temporaries are.
std::vector<std::string> TemporaryLeftovers(const std::string& folder);

// The uninstall list an uninstaller holds; empty when it cannot be read whole.
std::string UninstallListOf(const std::string& uninstaller);

// The size of a file, or -1.
long long FileSizeAt(const std::string& path);
