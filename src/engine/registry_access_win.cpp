#include "engine/registry_access.h"

const char* const UninstallListKey = "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

namespace {

// The registry functions take paths relative to the root; a leading "\" is refused.
std::string RelativeKeyPath(const std::string& path)
{
    std::size_t start = 0;
    while (start < path.size() && path[start] == '\\') ++start;
    return path.substr(start);
}

RegKey OpenKey(HKEY root, const std::string& path, REGSAM access)
{
    RegKey key;
    if (RegOpenKeyExA(root, RelativeKeyPath(path).c_str(), 0, access | KEY_WOW64_32KEY, key.receive()) !=
        ERROR_SUCCESS)
        key.reset();
    return key;
}

enum class TValueRead { Missing, NotString, Read };

TValueRead ReadValue(HKEY key, const std::string& name, std::string& value)
{
    value.clear();
    DWORD type = 0;
    DWORD size = 0;
    if (RegQueryValueExA(key, name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
        return TValueRead::Missing;
    if (type != REG_SZ && type != REG_EXPAND_SZ) return TValueRead::NotString;
    std::string data(size, '\0');
    if (size > 0 &&
        RegQueryValueExA(key, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &size) !=
            ERROR_SUCCESS)
        return TValueRead::Missing;
    data.resize(size);
    // Stored strings end with a zero byte, but need not.
    const std::size_t end = data.find('\0');
    if (end != std::string::npos) data.resize(end);
    value = data;
    return TValueRead::Read;
}

} // namespace

RegKey OpenKeyForReading(HKEY root, const std::string& path)
{
    return OpenKey(root, path, KEY_READ);
}

RegKey OpenKeyForWriting(HKEY root, const std::string& path)
{
    return OpenKey(root, path, KEY_ALL_ACCESS);
}

RegKey CreateKeyForWriting(HKEY root, const std::string& path)
{
    RegKey key;
    if (RegCreateKeyExA(root, RelativeKeyPath(path).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_ALL_ACCESS | KEY_WOW64_32KEY, nullptr, key.receive(), nullptr) != ERROR_SUCCESS)
        key.reset();
    return key;
}

bool ReadStringValue(HKEY key, const std::string& name, std::string& value)
{
    switch (ReadValue(key, name, value)) {
    case TValueRead::Read:
        return true;
    case TValueRead::NotString:
        throw ERegistryException("Invalid data type for '" + name + "'");
    default:
        return false;
    }
}

bool TryReadStringValue(HKEY key, const std::string& name, std::string& value)
{
    return ReadValue(key, name, value) == TValueRead::Read;
}

bool WriteStringValue(HKEY key, const std::string& name, const std::string& value)
{
    return RegSetValueExA(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                          static_cast<DWORD>(value.size() + 1)) == ERROR_SUCCESS;
}

bool WriteDwordValue(HKEY key, const std::string& name, unsigned long value)
{
    const DWORD data = static_cast<DWORD>(value);
    return RegSetValueExA(key, name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data), sizeof(data)) ==
           ERROR_SUCCESS;
}

std::vector<std::string> SubkeyNames(HKEY key)
{
    std::vector<std::string> names;
    DWORD longest = 0;
    if (RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, &longest, nullptr, nullptr, nullptr, nullptr,
                         nullptr, nullptr) != ERROR_SUCCESS)
        return names;
    std::string buffer(longest + 2, '\0');
    for (DWORD index = 0;; ++index) {
        DWORD length = static_cast<DWORD>(buffer.size());
        const LONG result = RegEnumKeyExA(key, index, buffer.data(), &length, nullptr, nullptr, nullptr, nullptr);
        if (result == ERROR_MORE_DATA) {
            buffer.resize(buffer.size() * 2);
            --index;
            continue;
        }
        if (result != ERROR_SUCCESS) break;
        names.emplace_back(buffer.data(), length);
    }
    return names;
}

bool DeleteKeyTree(HKEY parent, const std::string& subkey)
{
    return RegDeleteTreeA(parent, subkey.c_str()) == ERROR_SUCCESS;
}
