#pragma once
// The uninstall list carried in the uninstaller's "Section:Uninst": info lines
// ("UninstallKey=", "Lng="), then "file=" for every written file in writing
// order, then "dir=" for every created folder in descending order. This file
// holds the portable rules: building the text, the name=value lines and the
// three removal passes over the list.
#include <string>
#include <vector>

using TTextLines = std::vector<std::string>;

// Sets name=value in a list of name=value lines: the first line whose name
// equals name without regard to letter case is replaced in place, otherwise
// the line is appended; an empty value removes that line instead.
void SetListValue(TTextLines& lines, const std::string& name, const std::string& value);

// The list's lines in their order, every line followed by CR LF.
std::string BuildUninstallListText(const TTextLines& info, const TTextLines& writtenFiles,
                                   const TTextLines& createdFolders);

// Files the uninstall keeps: the product's data files (".ada", ".alg", ".bdb",
// letter case ignored).
bool IsKeptDataFile(const std::string& path);

// The installed main program an uninstall list names: the path of its first
// "file=" line with the extension ".exe", the uninstaller itself (the file
// uninstallerPath, as SamePath compares) aside; empty when there is none. The
// installation took the first saved ".exe" as its main program, and that is
// the first such line.
std::string ListedMainProgram(const TTextLines& lines, const std::string& uninstallerPath);

// What the removal does to the file system; failures are not reported.
class TUninstallActions {
public:
    virtual ~TUninstallActions() = default;
    virtual void DeleteFileAt(const std::string& path) = 0;
    // Removes the folder only when it is empty.
    virtual void RemoveEmptyFolder(const std::string& path) = 0;
};

// The three passes over the uninstall list: "file=" lines from last to first
// (data files kept); "dir=" lines from last to first (ascending folders);
// then, first to last, the parent of every listed folder.
void RunUninstallPasses(TTextLines lines, TUninstallActions& actions);
