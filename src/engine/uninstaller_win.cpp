#include "engine/uninstaller.h"

#include <windows.h>
#include <shlobj.h>

#include "container/pe_image.h"
#include "container/sections.h"
#include "container/zlib_wrapper.h"
#include "engine/commands.h"
#include "engine/earlier_installation.h"
#include "engine/engine_state.h"
#include "engine/exit_codes.h"
#include "engine/extraction.h"
#include "engine/folders.h"
#include "engine/product_registry.h"
#include "engine/run_log.h"
#include "engine/uninstall_list.h"
#include "util/file_helpers.h"
#include "util/file_replace.h"
#include "util/text_compare.h"

namespace {

// Shell folders that an installation records when it puts a shortcut there;
// they stay even when the uninstall leaves them empty.
const int ShellFolderIds[] = {
    CSIDL_DESKTOPDIRECTORY, CSIDL_COMMON_DESKTOPDIRECTORY, CSIDL_PROGRAMS, CSIDL_COMMON_PROGRAMS,
    CSIDL_STARTMENU,        CSIDL_COMMON_STARTMENU,        CSIDL_STARTUP,  CSIDL_COMMON_STARTUP,
    CSIDL_PROGRAM_FILES,    CSIDL_PROGRAM_FILESX86,        CSIDL_APPDATA,  CSIDL_COMMON_APPDATA,
    CSIDL_LOCAL_APPDATA,    CSIDL_PERSONAL,                CSIDL_COMMON_DOCUMENTS, CSIDL_PROFILE,
    CSIDL_WINDOWS,          CSIDL_SYSTEM,
};

std::vector<std::string> ProtectedShellFolders()
{
    std::vector<std::string> folders;
    for (int id : ShellFolderIds) {
        char shellPath[MAX_PATH] = {};
        if (SUCCEEDED(SHGetFolderPathA(nullptr, id, nullptr, SHGFP_TYPE_CURRENT, shellPath)))
            folders.push_back(WithoutTrailingBackslashes(shellPath));
    }
    folders.push_back(WithoutTrailingBackslashes(ProgramFilesFolder()));
    return folders;
}

bool IsAmong(const std::vector<std::string>& folders, const std::string& path)
{
    const std::string folder = WithoutTrailingBackslashes(path);
    if (folder.empty()) return false;
    for (const std::string& protectedFolder : folders)
        if (SameTextIgnoreCase(protectedFolder, folder)) return true;
    return false;
}

class TFileSystemActions : public TUninstallActions {
public:
    void DeleteFileAt(const std::string& path) override
    {
        if (DeleteFileA(path.c_str()))
            RunLogFile(path, "deleted");
        else
            RunLogFileFailed(path, GetLastError());
    }
    void RemoveEmptyFolder(const std::string& path) override
    {
        if (!IsAmong(protected_, path) && RemoveDirectoryA(path.c_str())) RunLogLine("folder: " + path + ": removed");
    }

private:
    const std::vector<std::string> protected_ = ProtectedShellFolders();
};

} // namespace

bool IsProtectedShellFolder(const std::string& path)
{
    return IsAmong(ProtectedShellFolders(), path);
}

bool BuildUninstaller()
{
    if (Engine.UninstallerPath.empty() || OwnImagePart.empty()) return true;
    SetListValue(Engine.UninstallInfo, "Lng", Engine.LanguageCode);
    // Files of the installation this one replaces stay listed while they exist.
    const TCarriedEntries carried =
        CarriedEntries(UninstallListOfFile(Engine.UninstallerPath), Engine.WrittenFiles, Engine.KeptFiles,
                       Engine.UninstallerPath, FileExists);
    std::vector<std::string> files = Engine.WrittenFiles;
    files.insert(files.end(), carried.Files.begin(), carried.Files.end());
    for (const std::string& folder : carried.Folders) AddCreatedFolder(folder);
    const std::string list = BuildUninstallListText(Engine.UninstallInfo, files, Engine.CreatedFolders);
    std::string sections = MakeSection(SectionBeginningMark, std::string());
    if (!Engine.LanguageFileText.empty()) sections += MakeSection(SectionSetupLng, Engine.LanguageFileText);
    sections += MakeSection(SectionUninst, CompressString(list, LevelDefault));
    // A failure is in ErrorText ("Write Error: "), and so fails the run.
    return WriteWholeFile(Engine.UninstallerPath, UnsignedPeFile(OwnImagePart, sections));
}

std::vector<std::string> ReadUninstallList()
{
    LoadOwnSections();
    std::string data;
    GetSection(SectionUninst, OwnSectionPart, data);
    if (data.empty()) {
        NoteFailure(UnattendedInstallerDamaged);
        ReportError("uninstall information not found");
        return {};
    }
    try {
        return SplitLines(DecompressString(data));
    } catch (...) {
        NoteFailure(UnattendedInstallerDamaged); // found before anything is removed
        throw;
    }
}

const char RemovalRightsGermanText[] =
    "Ihnen fehlen die Rechte zum Entfernen des Programms.#13#Starten Sie die Deinstallation als Administrator.";

bool UninstallEntriesDeletable(const std::vector<std::string>& list)
{
    return UninstallEntryDeletable(ParamValue(Engine.CommandLineParams, "UninstallKey")) &&
           UninstallEntryDeletable(ParamValue(list, "UninstallKey"));
}

bool DeleteListedMainProgram(const std::vector<std::string>& list)
{
    const std::string program = ListedMainProgram(list, OwnExecutablePath());
    if (program.empty() || GetFileAttributesA(program.c_str()) == INVALID_FILE_ATTRIBUTES) return true;
    if (DeleteFileA(program.c_str())) {
        RunLogFile(program, "deleted");
        return true;
    }
    RunLogFileFailed(program, GetLastError());
    NoteFailure(UnattendedFileInUse);
    return false;
}

void RemoveInstallation(const std::vector<std::string>& list)
{
    DeleteUninstallKey(ParamValue(Engine.CommandLineParams, "UninstallKey"));
    if (list.empty()) return;
    // An installation that reused an earlier entry keeps the earlier name in
    // the list while its command line names the new one; either is removed.
    DeleteUninstallKey(ParamValue(list, "UninstallKey"));
    RunLogLine("language: " + ParamValue(list, "Lng"));
    // What an interrupted installation left under temporary names would keep a
    // folder. Only the folders the installation wrote files to are searched.
    for (const std::string& line : list)
        if (line.compare(0, 5, "file=") == 0)
            RemoveTemporaryLeftovers(WithoutTrailingBackslashes(FolderPartOf(line.substr(5))));
    TFileSystemActions actions;
    RunUninstallPasses(list, actions);
}

bool RunUninstall()
{
    // Read first: a damaged list raises here, before anything is removed.
    const std::vector<std::string> list = ReadUninstallList();
    if (!UninstallEntriesDeletable(list) || !DeleteListedMainProgram(list)) return false;
    RemoveInstallation(list);
    return true;
}

void DeleteReminderShortcut(const std::string& linkName)
{
    std::string folder = SpecialFolder(CSIDL_STARTUP);
    if (folder.empty()) return;
    if (folder.back() != '\\') folder += '\\';
    DeleteFileA((folder + linkName + ".lnk").c_str());
}
