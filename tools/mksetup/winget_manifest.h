#pragma once
// `mksetup manifest`: a winget installer manifest (YAML) for a built
// installer, read from the installer itself.
#include <map>
#include <ostream>
#include <string>
#include <vector>

struct InstallerFile;

// One of the manifest's InstallerSwitches. Each value is quoted whole, so
// that a path with blanks put in for its token stays one argument.
struct TWingetSwitch {
    const char* Name;
    const char* Value;
};
extern const TWingetSwitch WingetSwitches[];
extern const std::size_t WingetSwitchCount;

// What the manifest says about a package, taken from its script.
struct TPackageFacts {
    std::string Version;     // the last non-empty "Version" of the "path" lines
    std::string Key;         // "Key=" of the "uninst" line (stable identity)
    std::string DisplayName; // "name" of "uninst", else the first saved .exe's file name
    std::string Publisher;
};
TPackageFacts PackageFactsOf(const std::vector<std::string>& scriptLines);

// Whether a text fits winget's PackageIdentifier: 2 to 8 parts joined by
// ".", each 1 to 32 characters without blanks, control characters or
// \ / : * ? " < > |; at most 128 in all.
bool IsWingetPackageIdentifier(const std::string& id);

// The manifest's text. Throws ToolError: ExitBadInstaller for an installer
// that does not check out, ExitBadInput for one without a version or of an
// unknown machine type.
std::string WingetManifest(const InstallerFile& file, const std::string& id, const std::string& url);

// The command: FILE --id ID --url URL [-o OUT]. Returns the exit code.
int ManifestCommand(const std::vector<std::string>& positional, const std::map<std::string, std::string>& options,
                    std::ostream& out);

extern const char ManifestHelp[];
