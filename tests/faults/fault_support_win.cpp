#include "fault_support_win.h"

#include "container/sections.h"
#include "container/zlib_wrapper.h"
#include "engine/command_text.h"
#include "util/file_replace.h"

const char* const UninstallListKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

TChild::TChild(const std::string& commandLine)
{
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    std::string line = commandLine;
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process_))
        process_ = {};
}

TChild::~TChild()
{
    if (!process_.hProcess) return;
    if (Running()) {
        TerminateProcess(process_.hProcess, 9);
        WaitForSingleObject(process_.hProcess, 120000);
    }
    CloseHandle(process_.hThread);
    CloseHandle(process_.hProcess);
}

bool TChild::Running() const
{
    return process_.hProcess && WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT;
}

bool TChild::KillWhen(const std::function<bool()>& seen)
{
    const DWORD start = GetTickCount();
    while (Running() && GetTickCount() - start < 120000) {
        if (seen()) {
            const bool killed = TerminateProcess(process_.hProcess, 9) != 0;
            WaitForSingleObject(process_.hProcess, 120000);
            DWORD code = 0;
            return killed && GetExitCodeProcess(process_.hProcess, &code) && code == 9;
        }
    }
    return false;
}

DWORD TChild::Wait()
{
    DWORD code = 0xFFFFFFFF;
    if (!process_.hProcess || WaitForSingleObject(process_.hProcess, 120000) != WAIT_OBJECT_0) return code;
    GetExitCodeProcess(process_.hProcess, &code);
    return code;
}

void TProduct::Build(const std::string& installerPath, const std::string& defaultFolder,
                     const std::string& languageFile)
{
    std::string payload;
    std::vector<std::string> script = {"action=path," + QuoteItem("PgmPath=" + defaultFolder + "\\") + "," +
                                       QuoteItem("Registry=" + Registry) + ",Version=2012-01,Lng=DE"};
    for (const std::string& line : SaveLines(Files, payload)) script.push_back(line);
    script.push_back("action=uninst,pgm=*PgmPath*\\uninstall.exe,param=/uninst," + QuoteItem("name=" + Name));
    Installer = installerPath;
    WriteTestFile(installerPath,
                  MakeInstaller(script, payload,
                                languageFile.empty() ? Utf16LeWithMark("DE=Setup f\xFCr\r\nEN=Setup for\r\n")
                                                     : languageFile));
}

std::string TProduct::InstallCommand(const std::string& folder) const
{
    return "\"" + Installer + "\" /S \"/D=" + folder + "\"";
}

void TProduct::RemoveRegistration() const
{
    RegDeleteTreeAt(HKEY_LOCAL_MACHINE, "SOFTWARE\\" + Registry);
    RegDeleteTreeAt(HKEY_CURRENT_USER, "SOFTWARE\\" + Registry);
    for (const std::string& entry : RegSubkeys(HKEY_LOCAL_MACHINE, UninstallListKey))
        if (entry.compare(0, Name.size() + 1, Name + " ") == 0)
            RegDeleteTreeAt(HKEY_LOCAL_MACHINE, std::string(UninstallListKey) + "\\" + entry);
}

int TProduct::UninstallEntries() const
{
    int count = 0;
    for (const std::string& entry : RegSubkeys(HKEY_LOCAL_MACHINE, UninstallListKey))
        if (entry.compare(0, Name.size() + 1, Name + " ") == 0) ++count;
    return count;
}

std::vector<std::string> TemporaryLeftovers(const std::string& folder)
{
    std::vector<std::string> found;
    WIN32_FIND_DATAA record;
    HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &record);
    if (search == INVALID_HANDLE_VALUE) return found;
    do {
        const std::string name = record.cFileName;
        if (name == "." || name == "..") continue;
        if (record.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            for (const std::string& inner : TemporaryLeftovers(folder + "\\" + name)) found.push_back(inner);
        } else if (IsTemporaryName(name)) {
            found.push_back(folder + "\\" + name);
        }
    } while (FindNextFileA(search, &record));
    FindClose(search);
    return found;
}

long long FileSizeAt(const std::string& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return -1;
    return (static_cast<long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

std::string UninstallListOf(const std::string& uninstaller)
{
    UseSectionsFile(uninstaller);
    LoadOwnSections();
    std::string section;
    GetSection(SectionUninst, OwnSectionPart, section);
    UseSectionsFile("");
    try {
        return section.empty() ? std::string() : DecompressString(section);
    } catch (...) {
        return std::string();
    }
}
