#include "engine/removal_finisher.h"

#include <windows.h>

#include "engine/engine_state.h"
#include "engine/run_log.h"
#include "engine/uninstaller.h"
#include "util/file_helpers.h"
#include "util/win_handles.h"

namespace {

std::string ParentOf(const std::string& path)
{
    const std::size_t separator = path.find_last_of('\\');
    return separator == std::string::npos ? std::string() : path.substr(0, separator);
}

void RemoveIfEmpty(const std::string& folder)
{
    if (!folder.empty() && !IsProtectedShellFolder(folder)) RemoveDirectoryA(folder.c_str());
}

} // namespace

bool StartRemovalFinisher(const std::vector<std::string>& list)
{
    const std::string own = OwnExecutablePath();
    if (!UninstallerBelongsToList(list, own)) return false;
    char folder[MAX_PATH + 1] = {};
    const DWORD length = GetTempPathA(MAX_PATH + 1, folder);
    if (length == 0 || length > MAX_PATH) return false;
    const std::string copy = std::string(folder) + "~setup-finish-" + std::to_string(GetCurrentProcessId()) + ".exe";
    if (!CopyFileA(own.c_str(), copy.c_str(), FALSE)) return false;
    // The copy's only handle to its own file deletes it when the copy ends.
    SECURITY_ATTRIBUTES inherited = {sizeof inherited, nullptr, TRUE};
    FileHandle deleteOnClose(CreateFileA(copy.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, &inherited,
                                         OPEN_EXISTING, FILE_FLAG_DELETE_ON_CLOSE, nullptr));
    if (!deleteOnClose) {
        DeleteFileA(copy.c_str());
        return false;
    }
    std::string commandLine = "\"" + copy + "\" \"" + FinisherArgument(GetCurrentProcessId(), own) + "\"";
    // Only that handle is handed down: a deployment tool's pipes must not stay
    // open in the copy.
    SIZE_T size = 0;
    InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
    std::string attributes(size, '\0');
    STARTUPINFOEXA startup = {};
    startup.StartupInfo.cb = sizeof startup;
    startup.lpAttributeList = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(attributes.data());
    HANDLE handed = deleteOnClose.get();
    if (!InitializeProcThreadAttributeList(startup.lpAttributeList, 1, 0, &size)) return false;
    const bool listed = UpdateProcThreadAttribute(startup.lpAttributeList, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, &handed,
                                                  sizeof handed, nullptr, nullptr) != 0;
    PROCESS_INFORMATION process = {};
    // The copy works in the temporary folder, so that no folder it removes is its current one.
    const bool started = listed && CreateProcessA(copy.c_str(), commandLine.data(), nullptr, nullptr, TRUE,
                                                  EXTENDED_STARTUPINFO_PRESENT, nullptr, folder,
                                                  &startup.StartupInfo, &process);
    DeleteProcThreadAttributeList(startup.lpAttributeList);
    if (!started) return false; // closing deleteOnClose deletes the copy
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    RunLogLine("file: " + own + ": deleted by a copy in the temporary folder once this process has ended");
    return true;
}

bool RunRemovalFinisher(const std::vector<std::string>& arguments)
{
    unsigned long processId = 0;
    std::string uninstaller;
    if (arguments.size() != 1 || !ParseFinisherArgument(arguments[0], processId, uninstaller)) return false;
    Engine.QuietErrors = true; // nobody is there to read a message
    {
        // The uninstaller may have ended already: then there is nothing to wait for.
        const HANDLE started = OpenProcess(SYNCHRONIZE, FALSE, processId);
        if (started) {
            WaitForSingleObject(started, 30000);
            CloseHandle(started);
        }
    }
    // The system lets go of an ended program's file a moment after its end.
    for (int attempt = 0; attempt < 50 && !DeleteFileA(uninstaller.c_str()) &&
                          GetFileAttributesA(uninstaller.c_str()) != INVALID_FILE_ATTRIBUTES;
         ++attempt)
        Sleep(100);
    // The list this copy carries names the folders the installation made, deepest last.
    const std::vector<std::string> list = ReadUninstallList();
    // Deepest first: the list holds its folders in descending order.
    for (const std::string& line : list)
        if (line.compare(0, 4, "dir=") == 0) RemoveIfEmpty(line.substr(4));
    RemoveIfEmpty(ParentOf(uninstaller));
    for (const std::string& line : list)
        if (line.compare(0, 4, "dir=") == 0) RemoveIfEmpty(ParentOf(line.substr(4)));
    return true;
}
