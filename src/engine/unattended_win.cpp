#include "engine/unattended.h"

#include <windows.h>

#include <exception>

#include "engine/command_text.h"
#include "engine/engine_state.h"
#include "engine/language_texts.h"
#include "engine/one_setup.h"
#include "engine/product_registry.h"
#include "engine/program_folder.h"
#include "engine/program_settings.h"
#include "engine/removal_finisher.h"
#include "engine/run_log.h"
#include "engine/setup_script.h"
#include "engine/uninstaller.h"
#include "lang/ml_startup.h"
#include "lang/ml_system.h"
#include "lang/translation.h"
#include "lang/window_translation.h"
#include "util/file_helpers.h"
#include "util/win_handles.h"

namespace {

const char MainWindowClass[] = "TBvSetupForm1";
const char ReminderLinkGermanName[] = "Morvane Erinnerung";
// The window's text for a program that cannot be deleted (Unit1 text 6).
const char ProgramInUseGermanText[] = "Das bereits installierte Programm ist entweder in Benutzung#13#oder Sie haben nicht "
                                      "die ben\xF6tigen Dateirechte f\xFCr dessen Ersetzung.";

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
    RunLogLine("Setup: " + OneLine(message));
    return exitCode;
}

// The reminder shortcut's name in the language chosen at installation, as the
// uninstall window shows it.
std::string ReminderLinkName(const std::string& languageCode)
{
    SwitchLanguage(MLSystem->CurrentLng, CutLngCode(languageCode), LngCode());
    return TranslateText(ReminderLinkGermanName);
}

int UnattendedInstall(const TUnattendedOptions& options)
{
    // A script whose "path" lines already fail would install into unknown places.
    if (!RunSetupScript(true)) return Fail(FailureExitCode(), "the setup information is unusable: " + Engine.ErrorText);
    if (InstalledVersionIsNewer())
        return Fail(UnattendedNewerInstalled, "a newer version is installed (" + ReadProductValue("Ver") + ")");

    std::string folder = options.HasFolder ? options.Folder : Engine.PgmPath;
    if (!ValidateProgramFolder(folder)) return Fail(UnattendedBadArguments, "the folder cannot be used: " + folder);
    std::string language;
    if (!ChooseUnattendedLanguage(options, SystemPrimaryLanguage, language))
        return Fail(UnattendedBadArguments, "the language is not in the setup texts: " + options.Language);

    if (!RunInstallation(folder, !options.NoDesktop, language))
        return Fail(FailureExitCode(), "the installation reported errors (see the log " +
                                                std::string(LogFileName) + "): " + Engine.ErrorText);
    if (!Engine.MainProgram.empty()) {
        WriteProgramSettings();
        RemoveObsoleteFiles();
    }
    return UnattendedSuccess;
}

int UnattendedUninstall()
{
    // Read before anything is removed: a damaged list raises here.
    const std::vector<std::string> list = ReadUninstallList();
    const std::string language = ParamValue(list, "Lng");
    const std::string reminder = ReminderLinkName(language);
    if (!UninstallEntriesDeletable(list))
        return Fail(UnattendedScriptErrors, ResolveLineBreaks(TranslateText(RemovalRightsGermanText)));
    if (!DeleteListedMainProgram(list)) return Fail(UnattendedFileInUse, ResolveLineBreaks(TranslateText(ProgramInUseGermanText)));
    DeleteReminderShortcut(reminder);
    RemoveInstallation(list);
    if (!Engine.ErrorText.empty()) return Fail(FailureExitCode(), "the uninstall reported errors: " + Engine.ErrorText);
    StartRemovalFinisher(list);
    return UnattendedSuccess;
}

} // namespace

int RunUnattended()
{
    InitMultiLingua();
    LoadStartupLanguageTexts(OwnExecutablePath());
    TUnattendedOptions options;
    std::string message;
    if (!ParseUnattendedArguments(Engine.CommandLineParams, Engine.UninstallMode, options, message))
        return Fail(UnattendedBadArguments, message);
    // The window of a setup without the mutex (an older version) counts too.
    if (!ClaimOneSetup() || FindWindowA(MainWindowClass, nullptr))
        return Fail(UnattendedAlreadyRunning, "another setup is running");
    Engine.QuietErrors = true;
    try {
        return Engine.UninstallMode ? UnattendedUninstall() : UnattendedInstall(options);
    } catch (const std::exception& error) {
        return Fail(FailureExitCode(), error.what());
    }
}
