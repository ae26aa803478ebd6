#pragma once
// The product's values under Engine.RegistryKey ("Exec", "DataPath", "Ver"),
// the newer-version check and the removal of an uninstall entry. Windows
// builds only. WriteProductValue, PathCommand and UninstCommand are declared
// in commands.h.
#include <string>

// The string value under HKEY_CURRENT_USER, else HKEY_LOCAL_MACHINE; empty
// when RegistryKey or name is empty or neither holds it.
std::string ReadProductValue(const std::string& name);

// True when the registered installation ("Exec" exists as a file, "Ver" set)
// is newer than Engine.SetupVersion.
bool InstalledVersionIsNewer();

// Removes one entry of the machine's uninstall list with everything below it;
// a name of fewer than 3 characters (blanks and control characters trimmed)
// removes nothing.
void DeleteUninstallKey(const std::string& keyName);

// Whether DeleteUninstallKey(keyName) would remove the entry: true when it is
// missing or may be deleted, false when this process lacks the rights (a
// standard user and a machine-wide entry).
bool UninstallEntryDeletable(const std::string& keyName);

// Whether a file (not a folder) of that name exists.
bool FileExists(const std::string& path);
