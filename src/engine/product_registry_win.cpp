#include "engine/product_registry.h"

#include "engine/commands.h"
#include "engine/engine_state.h"
#include "engine/registry_access.h"
#include "engine/version.h"

namespace {

std::string ReadValueUnder(HKEY root, const std::string& name)
{
    std::string value;
    if (RegKey key = OpenKeyForReading(root, Engine.RegistryKey)) ReadStringValue(key.get(), name, value);
    return value;
}

} // namespace

bool FileExists(const std::string& path)
{
    if (path.empty()) return false;
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

std::string ReadProductValue(const std::string& name)
{
    if (Engine.RegistryKey.empty() || name.empty()) return std::string();
    std::string value = ReadValueUnder(HKEY_CURRENT_USER, name);
    if (value.empty()) value = ReadValueUnder(HKEY_LOCAL_MACHINE, name);
    return value;
}

void WriteProductValue(const std::string& name, const std::string& value)
{
    if (Engine.RegistryKey.empty() || name.empty()) return;
    // Without write access to the machine's key the user's key takes the value.
    for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
        if (RegKey key = CreateKeyForWriting(root, Engine.RegistryKey)) {
            WriteStringValue(key.get(), name, value);
            return;
        }
    }
}

bool InstalledVersionIsNewer()
{
    if (Engine.SetupVersion.empty()) return false;
    const std::string exec = ReadProductValue("Exec");
    const std::string installed = ReadProductValue("Ver");
    if (installed.empty() || exec.empty() || !FileExists(exec)) return false;
    return InstalledVersionTextIsNewer(installed, Engine.SetupVersion);
}

namespace {

// Also protects the uninstall list itself against an empty name.
bool IsEntryName(const std::string& keyName)
{
    std::size_t first = 0;
    std::size_t last = keyName.size();
    while (first < last && static_cast<unsigned char>(keyName[first]) <= 32) ++first;
    while (last > first && static_cast<unsigned char>(keyName[last - 1]) <= 32) --last;
    return last - first >= 3;
}

} // namespace

void DeleteUninstallKey(const std::string& keyName)
{
    if (!IsEntryName(keyName)) return;
    if (RegKey list = OpenKeyForWriting(HKEY_LOCAL_MACHINE, UninstallListKey)) DeleteKeyTree(list.get(), keyName);
}

bool UninstallEntryDeletable(const std::string& keyName)
{
    if (!IsEntryName(keyName)) return true;
    // What DeleteUninstallKey needs: the list with full access, the entry
    // with the right to delete it. A missing entry needs nothing.
    RegKey list = OpenKeyForReading(HKEY_LOCAL_MACHINE, UninstallListKey);
    RegKey entry;
    const LONG opened =
        list ? RegOpenKeyExA(list.get(), keyName.c_str(), 0, DELETE | KEY_READ | KEY_WOW64_32KEY, entry.receive())
             : ERROR_FILE_NOT_FOUND;
    return opened == ERROR_FILE_NOT_FOUND ||
           (opened == ERROR_SUCCESS && OpenKeyForWriting(HKEY_LOCAL_MACHINE, UninstallListKey));
}
