#pragma once
// An installation over an earlier one keeps the earlier uninstall list's
// files that it did not write itself listed while they exist, so that no file
// of an old version outlives the product's removal. Portable rules.
#include <string>
#include <vector>

struct TCarriedEntries {
    std::vector<std::string> Files;   // "file=" paths to list again, in the earlier order
    std::vector<std::string> Folders; // the earlier "dir=" folders that hold one of them
};

// The earlier list's files that this run neither wrote (writtenFiles, the
// uninstaller itself included) nor kept as the user's (keptFiles), and that
// exists says are still there; letter case ignored.
TCarriedEntries CarriedEntries(const std::vector<std::string>& earlierList,
                               const std::vector<std::string>& writtenFiles,
                               const std::vector<std::string>& keptFiles, const std::string& uninstallerPath,
                               bool (*exists)(const std::string& path));

// The uninstall list carried by the uninstaller file at path; empty
// when there is none or it cannot be read.
std::vector<std::string> UninstallListOfFile(const std::string& path);
