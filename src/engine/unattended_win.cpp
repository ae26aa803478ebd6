#include "engine/unattended.h"

#include <windows.h>

#include <exception>

#include "engine/command_text.h"
#include "engine/engine_state.h"
#include "engine/language_text_scan.h"
#include "engine/product_registry.h"
#include "engine/program_folder.h"
#include "engine/program_settings.h"
#include "engine/setup_script.h"
#include "engine/uninstaller.h"
#include "util/win_handles.h"

namespace {

const char MainWindowClass[] = "TBvSetupForm1";
const char ReminderLinkGermanName[] = "Morvane Erinnerung";

// A program of the window subsystem has a standard error only when its starter
// handed one over; otherwise the starter's console is used when there is one.
void PrintErrorLine(const std::string& message)
{
    const std::string line = "Setup: " + message + "\r\n";
    DWORD written = 0;
    HANDLE handle = GetStdHandle(STD_ERROR_HANDLE);
    if (handle && handle != INVALID_HANDLE_VALUE) {
        WriteFile(handle, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
        return;
    }
    if (!AttachConsole(ATTACH_PARENT_PROCESS)) return;
    FileHandle console(CreateFileA("CONOUT$", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                   OPEN_EXISTING, 0, nullptr));
    if (console) WriteFile(console.get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
}

std::string OneLine(std::string text)
{
    for (char& c : text)
        if (c == '\r' || c == '\n') c = ' ';
    return text;
}

int Fail(int exitCode, const std::string& message)
{
    PrintErrorLine(OneLine(message));
    return exitCode;
}

bool IsLoadedLanguage(const std::string& code)
{
    for (const std::string& loaded : LanguageCodesOfText(Engine.LanguageFileText))
        if (loaded == code) return true;
    return false;
}

// The language a window would show: the requested one, else the system's
// preselection when the texts hold it, else the base language.
bool ChooseLanguage(const TUnattendedOptions& options, std::string& code)
{
    code = "DE";
    if (options.HasLanguage) {
        if (options.Language != code && !IsLoadedLanguage(options.Language)) return false;
        code = options.Language;
        return true;
    }
    const std::string preselected = PreselectedLanguage(GetSystemDefaultLangID() & 0x3FF);
    if (!preselected.empty() && IsLoadedLanguage(preselected)) code = preselected;
    return true;
}

std::string ReminderLinkName(const std::string& languageCode)
{
    const std::u16string translated =
        TranslateByGermanText(Engine.LanguageFileText, ReminderLinkGermanName, languageCode);
    if (translated.empty()) return ReminderLinkGermanName;
    const std::wstring wide(translated.begin(), translated.end());
    const int size = WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr,
                                         nullptr);
    std::string name(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), name.data(), size, nullptr, nullptr);
    return name;
}

int UnattendedInstall(const TUnattendedOptions& options)
{
    // A script whose "path" lines already fail would install into unknown places.
    if (!RunSetupScript(true)) return Fail(UnattendedScriptErrors, "the setup information is unusable: " + Engine.ErrorText);
    if (InstalledVersionIsNewer())
        return Fail(UnattendedNewerInstalled, "a newer version is installed (" + ReadProductValue("Ver") + ")");

    std::string folder = options.HasFolder ? options.Folder : Engine.PgmPath;
    if (!ValidateProgramFolder(folder)) return Fail(UnattendedBadArguments, "the folder cannot be used: " + folder);
    std::string language;
    if (!ChooseLanguage(options, language))
        return Fail(UnattendedBadArguments, "the language is not in the setup texts: " + options.Language);

    if (!RunInstallation(folder, !options.NoDesktop, language))
        return Fail(UnattendedScriptErrors, "the installation reported errors (see the log " +
                                                std::string(LogFileName) + "): " + Engine.ErrorText);
    if (!Engine.MainProgram.empty()) {
        WriteProgramSettings();
        RemoveObsoleteFiles();
    }
    return UnattendedSuccess;
}

int UnattendedUninstall()
{
    const std::string language = ParamValue(ReadUninstallList(), "Lng");
    DeleteReminderShortcut(ReminderLinkName(language));
    RunUninstall();
    if (!Engine.ErrorText.empty()) return Fail(UnattendedScriptErrors, "the uninstall reported errors: " + Engine.ErrorText);
    return UnattendedSuccess;
}

} // namespace

int RunUnattended()
{
    TUnattendedOptions options;
    std::string message;
    if (!ParseUnattendedArguments(Engine.CommandLineParams, Engine.UninstallMode, options, message))
        return Fail(UnattendedBadArguments, message);
    if (FindWindowA(MainWindowClass, nullptr)) return Fail(UnattendedAlreadyRunning, "another setup is running");
    Engine.QuietErrors = true;
    try {
        return Engine.UninstallMode ? UnattendedUninstall() : UnattendedInstall(options);
    } catch (const std::exception& error) {
        return Fail(UnattendedScriptErrors, error.what());
    }
}
