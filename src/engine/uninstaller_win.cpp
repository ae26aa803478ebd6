#include "engine/uninstaller.h"

#include <windows.h>
#include <shlobj.h>

#include "container/sections.h"
#include "container/zlib_wrapper.h"
#include "engine/commands.h"
#include "engine/engine_state.h"
#include "engine/extraction.h"
#include "engine/folders.h"
#include "engine/product_registry.h"
#include "engine/uninstall_list.h"

namespace {

class TFileSystemActions : public TUninstallActions {
public:
    void DeleteFileAt(const std::string& path) override { DeleteFileA(path.c_str()); }
    void RemoveEmptyFolder(const std::string& path) override { RemoveDirectoryA(path.c_str()); }
};

} // namespace

void BuildUninstaller()
{
    if (Engine.UninstallerPath.empty() || OwnImagePart.empty()) return;
    SetListValue(Engine.UninstallInfo, "Lng", Engine.LanguageCode);
    const std::string list = BuildUninstallListText(Engine.UninstallInfo, Engine.WrittenFiles, Engine.CreatedFolders);
    std::string sections = MakeSection(SectionBeginningMark, std::string());
    if (!Engine.LanguageFileText.empty()) sections += MakeSection(SectionSetupLng, Engine.LanguageFileText);
    sections += MakeSection(SectionUninst, CompressString(list, LevelDefault));
    WriteWholeFile(Engine.UninstallerPath, OwnImagePart + sections);
}

std::vector<std::string> ReadUninstallList()
{
    LoadOwnSections();
    std::string data;
    GetSection(SectionUninst, OwnSectionPart, data);
    if (data.empty()) {
        ReportError("uninstall information not found");
        return {};
    }
    return SplitLines(DecompressString(data));
}

void RunUninstall()
{
    DeleteUninstallKey(ParamValue(Engine.CommandLineParams, "UninstallKey"));
    const std::vector<std::string> list = ReadUninstallList();
    if (list.empty()) return;
    // An installation that reused an earlier entry keeps the earlier name in
    // the list while its command line names the new one; either is removed.
    DeleteUninstallKey(ParamValue(list, "UninstallKey"));
    TFileSystemActions actions;
    RunUninstallPasses(list, actions);
}

void DeleteReminderShortcut(const std::string& linkName)
{
    std::string folder = SpecialFolder(CSIDL_STARTUP);
    if (folder.empty()) return;
    if (folder.back() != '\\') folder += '\\';
    DeleteFileA((folder + linkName + ".lnk").c_str());
}
