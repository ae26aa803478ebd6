#pragma once
// A running program cannot delete its own file: after a removal, a copy of
// the uninstaller in the temporary folder waits for the uninstaller's process
// to end, deletes uninstall.exe and the folders that this leaves empty, and
// ends; its own file is deleted when it ends (the uninstaller opened it for
// deletion on close and handed that handle down).
#include <string>
#include <vector>

// The copy's one argument: "/FINISHREMOVAL=" + process id + "|" + the
// uninstaller's path.
std::string FinisherArgument(unsigned long processId, const std::string& uninstallerPath);
// Reads that argument; false for any other.
bool ParseFinisherArgument(const std::string& argument, unsigned long& processId, std::string& uninstallerPath);

// Whether the running uninstaller belongs to the installation its list
// describes: the list names its file, or its folder. Only then does it delete
// itself (an uninstaller started from elsewhere with "/uninst" stays).
bool UninstallerBelongsToList(const std::vector<std::string>& list, const std::string& ownPath);

// Windows: after a removal that went through, starts the copy; false when it
// could not be started (the uninstaller then stays, as it always did).
bool StartRemovalFinisher(const std::vector<std::string>& list);
// Windows: when the arguments make this process the copy, does its work and
// gives true; the process then ends at once.
bool RunRemovalFinisher(const std::vector<std::string>& arguments);
