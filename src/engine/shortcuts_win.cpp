#include "engine/shortcuts.h"

#include <windows.h>
#include <objbase.h>
#include <objidl.h>
#include <shlobj.h>

#include <utility>

#include "engine/commands.h"
#include "engine/engine_state.h"
#include "engine/extraction.h"
#include "engine/folders.h"
#include "engine/placeholders.h"
#include "engine/product_registry.h"
#include "util/win_handles.h"
#include "util/wide_text.h"

namespace {

// Releases a COM interface when it goes out of scope.
template <typename T>
class ComPtr {
public:
    ComPtr() = default;
    ~ComPtr()
    {
        if (ptr_) ptr_->Release();
    }
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;
    T* operator->() const { return ptr_; }
    T* get() const { return ptr_; }
    void** receive() { return reinterpret_cast<void**>(&ptr_); }

private:
    T* ptr_ = nullptr;
};

const CLSID ShellLinkClass = {0x00021401, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const IID ShellLinkAInterface = {0x000214EE, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const IID PersistFileInterface = {0x0000010B, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

WideText AnsiToWide(const std::string& text)
{
    if (text.empty()) return WideText();
    const int size = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    WideText wide(static_cast<std::size_t>(size), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), wide.data(), size);
    return wide;
}

std::string FileNamePart(const std::string& path)
{
    const std::size_t separator = path.find_last_of("\\:");
    return separator == std::string::npos ? path : path.substr(separator + 1);
}

std::string LowerCaseLastFour(const std::string& name)
{
    std::string tail = name.size() > 4 ? name.substr(name.size() - 4) : name;
    for (char& c : tail)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return tail;
}

} // namespace

std::string DesktopIniText(const std::string& iconPath)
{
    return "[.ShellClassInfo]\r\nIconFile=" + iconPath + "\r\nIconIndex=0\r\n";
}

void CreateShortcut(const std::string& target, const std::string& arguments, const std::string& folder,
                    bool substituteAdministrator, const std::string& linkName)
{
    ComPtr<IShellLinkA> link;
    ComPtr<IPersistFile> file;
    if (FAILED(CoCreateInstance(ShellLinkClass, nullptr, CLSCTX_INPROC_SERVER, ShellLinkAInterface, link.receive())) ||
        FAILED(link->QueryInterface(PersistFileInterface, file.receive())))
        throw Exception("The shell link object cannot be created");

    link->SetArguments(arguments.c_str());
    link->SetPath(target.c_str());
    link->SetWorkingDirectory(FolderPartOf(target).c_str());

    const std::string linkFolder = substituteAdministrator ? AdministratorToAllUsers(folder) : folder;
    EnsureFolder(linkFolder);
    std::string linkPath = linkFolder + "\\" + linkName;
    if (LowerCaseLastFour(linkName) != ".lnk") linkPath += ".lnk";
    Engine.WrittenFiles.push_back(linkPath);
    file->Save(AnsiToWide(linkPath).c_str(), FALSE);
}

void IconCommand(const TParams& params)
{
    std::string lnk = ParamValue(params, "lnk");
    if (!Engine.CreateDesktopLinks && lnk.find("*Desktop*") != std::string::npos) return;
    lnk = ExpandPlaceholders(lnk);
    const std::string target = ExpandPlaceholders(ParamValue(params, "file"));
    const std::string arguments = ParamValue(params, "param");
    CreateShortcut(target, arguments, FolderPartOf(lnk), true, FileNamePart(lnk));
}

void WriteFolderIcon(const std::string& folder, const std::string& iconPath)
{
    // Only a shell library the process already uses; it is not loaded for this.
    const HMODULE shellUtilities = GetModuleHandleA("shlwapi.dll");
    if (!shellUtilities) return;
    using TPathMakeSystemFolder = BOOL(WINAPI*)(LPCSTR);
    const auto pathMakeSystemFolder =
        reinterpret_cast<TPathMakeSystemFolder>(reinterpret_cast<void*>(GetProcAddress(shellUtilities, "PathMakeSystemFolderA")));
    if (!pathMakeSystemFolder) return;

    const std::string file = folder + "Desktop.ini";
    // A hidden system file refuses to be truncated; the Desktop.ini of an
    // earlier installation would stay unlisted and outlive the uninstall.
    const DWORD oldAttributes = GetFileAttributesA(file.c_str());
    if (oldAttributes != INVALID_FILE_ATTRIBUTES && (oldAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
        SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_NORMAL);
    {
        FileHandle handle(
            CreateFileA(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!handle) return;
        const std::string text = DesktopIniText(iconPath);
        DWORD written = 0;
        WriteFile(handle.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    }
    Engine.WrittenFiles.push_back(file);
    SetFileAttributesA(file.c_str(), 0x86);
    if (!folder.empty()) pathMakeSystemFolder(folder.substr(0, folder.size() - 1).c_str());
}

void DesktopIniCommand(const TParams& params)
{
    const std::string folder = ExpandPlaceholders(ParamValue(params, "path"));
    const std::string iconPath = ExpandPlaceholders(ParamValue(params, "icon"));
    if (FileExists(iconPath)) WriteFolderIcon(folder, iconPath);
}
