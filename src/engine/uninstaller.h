#pragma once
// The uninstaller: its file (the program image with the language text and the
// compressed uninstall list behind it), the uninstall run, and the launch of
// the installed program after an installation. Windows builds only.
// BuildUninstaller and ExecCommand are declared in commands.h.
#include <string>
#include <vector>

// The lines of the running file's uninstall list; empty (after reporting
// "uninstall information not found") when it has none. A corrupt list raises
// the decompression error.
std::vector<std::string> ReadUninstallList();

// The removal's first check: whether this process may delete the uninstall
// entries that the command line and the list name. Without it nothing may be
// touched, or the entry would stay for files that are gone.
bool UninstallEntriesDeletable(const std::vector<std::string>& list);

// What the window and the unattended mode say when UninstallEntriesDeletable
// is false (Unit1 text 15).
extern const char RemovalRightsGermanText[];

// The removal's next step, taken before anything else is touched: deletes
// the list's main program (ListedMainProgram) when it exists. False when it
// exists and cannot be deleted (it runs, or the user lacks the rights): the
// removal must not go on, or the program would stay without its registration.
bool DeleteListedMainProgram(const std::vector<std::string>& list);

// Removes the uninstall entries named by the command line and by the list,
// the listed files (data files kept) and the folders that became empty
// (shell folders aside). With an empty list only the command line's entry.
void RemoveInstallation(const std::vector<std::string>& list);

// ReadUninstallList, UninstallEntriesDeletable, DeleteListedMainProgram,
// RemoveInstallation. False, with nothing removed, when the entries or the
// main program cannot be deleted; a corrupt list
// raises before anything is removed.
bool RunUninstall();

// The shell's well-known folders (desktops, start menus, program files and
// the like), which the uninstall never removes even when it leaves them empty.
bool IsProtectedShellFolder(const std::string& path);

// MainProgram followed by a blank and LaunchParams when there are any. A path
// with blanks is put in quotes, so that the program's arguments are
// LaunchParams and not the rest of its own path; any other path stays bare.
std::string LaunchCommandLine();

// Starts Engine.MainProgram with Engine.LaunchParams, not waiting for it;
// false when there is no main program.
bool LaunchMainProgram();

// Deletes "<user's start-up folder>\<linkName>.lnk", the reminder the product
// may have placed there; a missing folder or file is no error.
void DeleteReminderShortcut(const std::string& linkName);
