#pragma once
// Shortcut files and folder icons (Windows builds only). IconCommand and
// DesktopIniCommand are declared in commands.h. COM must be initialised on the
// calling thread.
#include <string>

// The shell link object cannot be created.
#include "util/exception.h"

// Creates folder\linkName(.lnk) pointing to target, with arguments and the
// target's folder as working folder; ensures folder (after the administrator's
// profile was replaced by "All Users" when asked) and records the link in
// Engine.WrittenFiles even when saving fails. Raises Exception when the shell
// link object is not available.
void CreateShortcut(const std::string& target, const std::string& arguments, const std::string& folder,
                    bool substituteAdministrator, const std::string& linkName);

// Writes folder + "Desktop.ini" naming iconPath (hidden, system) and marks the
// folder so that the shell reads it; folder ends with "\".
void WriteFolderIcon(const std::string& folder, const std::string& iconPath);

// The three lines of a folder's Desktop.ini.
std::string DesktopIniText(const std::string& iconPath);
