#pragma once
// Registry access of the engine (Windows builds only). Every key is opened in
// the 32-bit view, in 64-bit builds too, so that both builds share one product
// key and one uninstall list. A key path may start with "\": it is relative to
// the hive's root either way.
#include <string>
#include <vector>

#include "util/exception.h"
#include "util/win_handles.h"

// A value of another type where a string is expected.
class ERegistryException : public Exception {
public:
    using Exception::Exception;
};

// The machine-wide list of installed programs.
extern const char* const UninstallListKey; // "\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall"

// Opens an existing key for reading, or with full access; an empty RegKey when it fails.
RegKey OpenKeyForReading(HKEY root, const std::string& path);
RegKey OpenKeyForWriting(HKEY root, const std::string& path);
// Opens the key with full access, creating it (and its parents) when missing.
RegKey CreateKeyForWriting(HKEY root, const std::string& path);

// Reads a string value (REG_SZ or REG_EXPAND_SZ, not expanded); false when the
// value is missing. Any other type raises ERegistryException.
bool ReadStringValue(HKEY key, const std::string& name, std::string& value);
// The same without raising: another type reads as missing.
bool TryReadStringValue(HKEY key, const std::string& name, std::string& value);

bool WriteStringValue(HKEY key, const std::string& name, const std::string& value);
bool WriteDwordValue(HKEY key, const std::string& name, unsigned long value);

// Names of the key's direct subkeys, in the order the registry lists them.
std::vector<std::string> SubkeyNames(HKEY key);

// Deletes the subkey with everything below it; false when it could not be
// deleted (a missing key included).
bool DeleteKeyTree(HKEY parent, const std::string& subkey);
