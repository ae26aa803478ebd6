#pragma once
// Well-known folders of the target machine and folder creation. Every folder
// the engine uses for a file or shortcut goes through EnsureFolder, which
// records it in Engine.CreatedFolders (for the uninstaller) and, inside the
// program and data folders, grants the users group full access to it.
#include <string>

// --- Windows builds only ---

// The program-files folder with a final "\": the registry's "ProgramFilesDir"
// (then "ProgramFilesPath"), else "C:\Programme\" when it exists, else
// "C:\Program Files\".
std::string ProgramFilesFolder();

// The file-system path of a shell folder id (CSIDL), asked with
// Engine.OwnerWindow as owner; empty when the shell has none.
std::string SpecialFolder(int id);

// The common desktop (25) and the common start-menu Programs folder (23); when
// the shell gives nothing, the user's "Shell Folders" value with the
// administrator's profile replaced by "All Users". No final "\".
std::string CommonDesktopFolder();
std::string CommonProgramsFolder();

// True when path names an existing folder.
bool IsFolder(const std::string& path);

// Creates the folder and every missing parent; true when it exists afterwards
// (also for paths shorter than 3 characters).
bool CreateFolderChain(const std::string& path);

// Creates the folder chain, records the folder itself (not its parents, without
// final "\") in Engine.CreatedFolders once, letter case ignored, and grants the
// users group full access when the folder is Engine.PgmPath or Engine.DataPath
// or lies below one of them; other folders keep their rights. False for an
// empty path or when creation fails.
bool EnsureFolder(const std::string& path);

// --- portable path rules ---

// path without any trailing "\".
std::string WithoutTrailingBackslashes(const std::string& path);

// The parent of a folder path: the text up to the last "\" or ":", that "\"
// dropped unless a ":" or "\" stands in front of it (C:\a -> C:\,
// C:\a\b -> C:\a, \\server\share -> \\server).
std::string ParentFolder(const std::string& path);

// The folder part of a file path, final "\" (or ":") included; empty when
// there is none.
std::string FolderPartOf(const std::string& path);

// The first "\Administrator\" becomes "\All Users\" (case-sensitive, once).
std::string AdministratorToAllUsers(const std::string& path);
