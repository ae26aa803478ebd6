#include "engine/folders.h"

#include <windows.h>
#include <shlobj.h>

#include <algorithm>
#include <memory>
#include <unordered_map>

#include "engine/engine_state.h"
#include "util/case_key.h"
#include "util/nt_security.h"
#include "util/text_compare.h"
#include "util/win_handles.h"

namespace {

// Registry paths of the system's values are written from the hive's root with
// a leading "\", which the registry functions do not take.
std::string KeyPathFromRoot(const std::string& path)
{
    std::size_t start = 0;
    while (start < path.size() && path[start] == '\\') ++start;
    return path.substr(start);
}

// A string value as stored (environment references not expanded). Missing
// keys, missing values and values of other types read as empty. The 32-bit
// view, so that both builds see the same values.
std::string ReadRegistryString(HKEY root, const std::string& keyPath, const char* valueName)
{
    RegKey key;
    if (RegOpenKeyExA(root, KeyPathFromRoot(keyPath).c_str(), 0, KEY_READ | KEY_WOW64_32KEY, key.receive()) !=
        ERROR_SUCCESS)
        return std::string();
    for (int attempt = 0; attempt < 4; ++attempt) {
        DWORD type = 0;
        DWORD size = 0;
        if (RegQueryValueExA(key.get(), valueName, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) break;
        if (type != REG_SZ && type != REG_EXPAND_SZ) break;
        std::string data(size + 1, '\0');
        DWORD got = size;
        const LONG result = RegQueryValueExA(key.get(), valueName, nullptr, &type,
                                             reinterpret_cast<BYTE*>(data.data()), &got);
        if (result == ERROR_MORE_DATA) continue; // the value grew meanwhile
        if (result != ERROR_SUCCESS) break;
        data.resize(std::min<std::size_t>(got, data.size()));
        const std::size_t zero = data.find('\0');
        if (zero != std::string::npos) data.resize(zero);
        return data;
    }
    return std::string();
}

// The text with its %NAME% references replaced by the environment's values;
// a reference to a missing variable stays as it is.
std::string ExpandEnvironmentReferences(const std::string& text)
{
    if (text.find('%') == std::string::npos) return text;
    std::string expanded(text.size() + MAX_PATH, '\0');
    for (int attempt = 0; attempt < 4; ++attempt) {
        const DWORD needed = ExpandEnvironmentStringsA(text.c_str(), expanded.data(), static_cast<DWORD>(expanded.size()));
        if (needed == 0) return text;
        if (needed <= expanded.size()) {
            expanded.resize(needed - 1); // the count includes the final zero
            return expanded;
        }
        expanded.assign(needed, '\0'); // a variable grew meanwhile
    }
    return text;
}

struct ItemListDeleter {
    void operator()(ITEMIDLIST* list) const { CoTaskMemFree(list); }
};

const char* const ShellFoldersKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

std::string CommonFolder(int id, const char* shellFoldersValue)
{
    std::string folder = SpecialFolder(id);
    if (folder.empty())
        folder = AdministratorToAllUsers(ReadRegistryString(HKEY_CURRENT_USER, ShellFoldersKey, shellFoldersValue));
    return folder;
}

// Whether folder is base itself or lies below it (letter case ignored); false
// for an empty base.
bool IsAtOrBelow(const std::string& folder, const std::string& base)
{
    const std::string root = WithoutTrailingBackslashes(base);
    if (root.empty() || folder.size() < root.size() || !SameTextIgnoreCase(folder.substr(0, root.size()), root))
        return false;
    return folder.size() == root.size() || folder[root.size()] == '\\';
}

// Where each folder of CreatedFolders stands, by its case-insensitive key, so
// that the check per written file costs a hash lookup instead of a locale
// comparison with every folder. A hit is confirmed against the list itself and
// a miss rebuilds the index, so changes made elsewhere (a reset of the engine
// state, for instance) are never hidden; misses come once per new folder.
bool IsRecordedFolder(const std::string& key)
{
    static std::unordered_map<std::string, std::size_t> index;
    const auto& list = Engine.CreatedFolders;
    const auto confirmed = [&]() {
        const auto found = index.find(key);
        return found != index.end() && found->second < list.size() &&
               CaseInsensitiveKey(list[found->second]) == key;
    };
    if (confirmed()) return true;
    index.clear();
    for (std::size_t i = 0; i < list.size(); ++i) index.emplace(CaseInsensitiveKey(list[i]), i);
    return confirmed();
}

} // namespace

std::string ProgramFilesFolder()
{
    const char* const key = "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion";
    std::string folder = ReadRegistryString(HKEY_LOCAL_MACHINE, key, "ProgramFilesDir");
    // "ProgramFilesPath" is stored as "%ProgramFiles%" (REG_EXPAND_SZ).
    if (folder.empty()) folder = ExpandEnvironmentReferences(ReadRegistryString(HKEY_LOCAL_MACHINE, key, "ProgramFilesPath"));
    if (!folder.empty()) {
        if (folder.back() != '\\') folder += '\\';
        return folder;
    }
    return IsFolder("C:\\Programme\\") ? "C:\\Programme\\" : "C:\\Program Files\\";
}

std::string SpecialFolder(int id)
{
    ITEMIDLIST* raw = nullptr;
    if (FAILED(SHGetSpecialFolderLocation(Engine.OwnerWindow, id, &raw)) || !raw) return std::string();
    std::unique_ptr<ITEMIDLIST, ItemListDeleter> list(raw);
    char buffer[MAX_PATH] = {};
    if (!SHGetPathFromIDListA(list.get(), buffer)) return std::string();
    return std::string(buffer);
}

std::string CommonDesktopFolder()
{
    return CommonFolder(CSIDL_COMMON_DESKTOPDIRECTORY, "Desktop");
}

std::string CommonProgramsFolder()
{
    return CommonFolder(CSIDL_COMMON_PROGRAMS, "Programs");
}

bool IsFolder(const std::string& path)
{
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool CreateFolderChain(const std::string& path)
{
    const std::string folder = WithoutTrailingBackslashes(path);
    if (folder.size() < 3 || IsFolder(folder)) return true;
    const std::string parent = ParentFolder(folder);
    if (parent == folder) return true;
    if (!CreateFolderChain(parent)) return false;
    return CreateDirectoryA(folder.c_str(), nullptr) != 0;
}

bool EnsureFolder(const std::string& path)
{
    const std::string folder = WithoutTrailingBackslashes(path);
    if (folder.empty()) return false;
    if (IsRecordedFolder(CaseInsensitiveKey(folder))) return true;
    if (!CreateFolderChain(folder)) return false;
    AddCreatedFolder(folder);
    // The grant lets users without administrator rights change the installed
    // program and its data. Folders elsewhere (the common desktop, the start
    // menu's Programs folder, a product folder inside it) keep the rights they
    // have or inherit, or any user could plant shortcuts that administrators click.
    if (IsAtOrBelow(folder, Engine.PgmPath) || IsAtOrBelow(folder, Engine.DataPath))
        GrantUsersFullAccess(folder); // a folder without the grant is still usable
    return true;
}
