#include "engine/program_settings.h"

#include <windows.h>

#include "engine/command_text.h"
#include "engine/engine_state.h"
#include "engine/folders.h"
#include "engine/product_registry.h"
#include "engine/setup_script.h"
#include "engine/uninstall_list.h"
#include "util/ansi_strings.h"
#include "util/file_helpers.h"
#include "util/file_replace.h"
#include "util/exception.h"
#include "util/win_handles.h"

namespace {

std::string SystemReason(DWORD error)
{
    char* buffer = nullptr;
    const DWORD length =
        FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                       nullptr, error, 0, reinterpret_cast<char*>(&buffer), 0, nullptr);
    std::string reason = length > 0 && buffer ? std::string(buffer, length) : std::string();
    if (buffer) LocalFree(buffer);
    while (!reason.empty() && static_cast<unsigned char>(reason.back()) <= 32) reason.pop_back();
    return reason;
}

// The settings file's lines; raises when it exists but cannot be read.
std::vector<std::string> LoadSettingsLines(const std::string& path)
{
    FileHandle file(
        CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) throw Exception("Datei " + path + " kann nicht ge\xF6" "ffnet werden. " + SystemReason(GetLastError()));
    std::string text;
    char buffer[4096];
    DWORD read = 0;
    while (ReadFile(file.get(), buffer, sizeof(buffer), &read, nullptr) && read > 0) text.append(buffer, read);
    return SplitLines(text);
}

// Written under a temporary name and moved over the old file: the user's
// settings survive an interruption whole, and a new file takes its name only
// whole (a cut one would count as existing and never get its first lines).
void SaveSettingsLines(const std::string& path, const std::vector<std::string>& lines)
{
    std::string text;
    for (const std::string& line : lines) text += line + "\r\n";
    const DWORD error = WriteFileSafely(path, text.data(), text.size());
    if (error != ERROR_SUCCESS)
        throw Exception("Datei \"" + path + "\" kann nicht erstellt werden. " + SystemReason(error));
}

void AddFormTemplate(std::vector<std::string>& lines, char digit, const std::string& subfolder,
                     const std::string& file)
{
    if (FileExists(Engine.PgmPath + subfolder + file))
        SetListValue(lines, std::string("FormTemplate") + digit, subfolder + file);
}

void RenameIfPresent(const std::string& from, const std::string& to, bool folder)
{
    const bool present = folder ? IsFolder(from) : FileExists(from);
    if (present) MoveFileA(from.c_str(), to.c_str());
}

} // namespace

std::string ProgramSettingsPath()
{
    const std::string& program = Engine.MainProgram;
    const std::size_t separator = program.find_last_of("\\:");
    const std::size_t dot = program.rfind('.');
    if (dot == std::string::npos || (separator != std::string::npos && dot < separator)) return program + ".ini";
    return program.substr(0, dot) + ".ini";
}

void WriteProgramSettings(const std::function<std::string()>& askPersonsTerm)
{
    if (Engine.MainProgram.empty()) return;
    const std::string path = ProgramSettingsPath();
    const bool existed = FileExists(path);
    std::vector<std::string> lines;
    if (existed) lines = LoadSettingsLines(path);
    SetListValue(lines, "Lng", Engine.LanguageCode);
    if (!existed) {
        // Later rows win: with both languages installed the English templates are named.
        AddFormTemplate(lines, '1', "Formulare\\", "Formular1 Ausgabe.rtf");
        AddFormTemplate(lines, '2', "Formulare\\", "Formular2 Rueckgabe.rtf");
        AddFormTemplate(lines, '3', "Formulare\\", "Formular3 Verlust, Vernichtung.rtf");
        AddFormTemplate(lines, '5', "Formulare\\", "Formular5 Zylinder Verlust, Vernichtung.rtf");
        AddFormTemplate(lines, '9', "Formulare\\HTML\\", "Ausleihuebersicht.htm");
        AddFormTemplate(lines, '1', "Templates\\", "Form1 Issuance.rtf");
        AddFormTemplate(lines, '2', "Templates\\", "Form2 Return.rtf");
        AddFormTemplate(lines, '3', "Templates\\", "Form3 Lost, Destruction.rtf");
        AddFormTemplate(lines, '9', "Templates\\HTML\\", "IssuanceOverview.htm");
        if (askPersonsTerm) {
            const std::string term = askPersonsTerm();
            if (!term.empty()) SetListValue(lines, "PersonsTerm", term);
        }
    }
    SaveSettingsLines(path, lines);
}

void RemoveObsoleteFiles()
{
    const std::string& folder = Engine.PgmPath;
    for (const char* name : {"IconData.ico", "IconImport.ico", "TraderLogo.bmp", "TraderLogo.swf", "Morvane.lng"})
        if (FileExists(folder + "System\\" + name)) DeleteFileA((folder + name).c_str());
    if (FileExists(folder + "Anleitung_MORVANE.pdf")) {
        DeleteFileA((folder + "Anleitung MORVANE.pdf").c_str());
        DeleteFileA((folder + "Anleitung.pdf").c_str());
    }
}

bool RunInstallation(const std::string& programFolder, bool createDesktopLinks, const std::string& languageCode)
{
    Engine.PgmPath = programFolder;
    Engine.CreateDesktopLinks = createDesktopLinks;
    Engine.LanguageCode = languageCode.substr(0, 3);

    // Earlier versions named the start-menu folder and the desktop link "Brumo Morvane".
    if (!Engine.MyStartMenu.empty()) {
        const std::string current = Engine.MyStartMenu.substr(0, Engine.MyStartMenu.size() - 1);
        std::string parent = FolderPartOf(current);
        AppendBackslash(parent);
        RenameIfPresent(parent + "Brumo Morvane", current, true);
    }
    std::string desktop = CommonDesktopFolder();
    // Without a desktop folder the names would point into the current folder.
    if (!desktop.empty()) {
        AppendBackslash(desktop);
        RenameIfPresent(desktop + "Brumo Morvane.lnk", desktop + "Morvane.lnk", false);
    }

    return RunSetupScript(false);
}
