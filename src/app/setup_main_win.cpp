// The program's entry point: installer and uninstaller in one executable.
#include <windows.h>
#include <objbase.h>

#include "app/app_startup_win.h"
#include "container/sections.h"
#include "engine/command_line.h"
#include "engine/engine_state.h"
#include "engine/removal_finisher.h"
#include "engine/run_log.h"
#include "engine/unattended.h"
#include "util/file_helpers.h"
#include "util/wide_text.h"

namespace {

// The installer is started from download folders, where planted DLLs must not
// be loaded in place of the system's; the call exists from Windows 8 and with
// the KB2533623 update, so it is looked up.
void RestrictDllSearchPath()
{
    using TSetDefaultDllDirectories = BOOL(WINAPI*)(DWORD);
    const HMODULE kernel = GetModuleHandleA("kernel32.dll");
    if (!kernel) return;
    const auto setDefaultDllDirectories =
        reinterpret_cast<TSetDefaultDllDirectories>(reinterpret_cast<void*>(GetProcAddress(kernel, "SetDefaultDllDirectories")));
    if (setDefaultDllDirectories) setDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
}

// Undoes CoInitialize at exit when it succeeded.
class ComApartment {
public:
    ComApartment() : initialized_(SUCCEEDED(CoInitialize(nullptr))) {}
    ~ComApartment()
    {
        if (initialized_) CoUninitialize();
    }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;

private:
    bool initialized_;
};

std::string ReplaceExtension(const std::string& path, const std::string& extension)
{
    const std::size_t separator = path.find_last_of("\\/:");
    const std::size_t dot = path.rfind('.');
    if (dot == std::string::npos || (separator != std::string::npos && dot < separator)) return path + extension;
    return path.substr(0, dot) + extension;
}

// The language text as the uninstaller will carry it, for the silent mode,
// which needs no text system: the own section's bytes, else the ".lng" file
// beside the program as UTF-16 LE with its mark.
void KeepLanguageText()
{
    LoadOwnSections();
    std::string section;
    if (GetSection(SectionSetupLng, OwnSectionPart, section) && !section.empty()) {
        Engine.LanguageFileText = section;
        return;
    }
    std::string file;
    if (!ReadWholeFile(ReplaceExtension(OwnExecutablePath(), ".lng"), file)) return;
    const auto startsWith = [&file](const char* mark, std::size_t length) {
        return file.size() >= length && file.compare(0, length, mark, length) == 0;
    };
    // Other marks (UTF-8, UTF-16 big-endian, UTF-32) are refused.
    if (startsWith("\xFF\xFE\0\0", 4) || startsWith("\0\0\xFE\xFF", 4) || startsWith("\xFE\xFF", 2) ||
        startsWith("\xEF\xBB\xBF", 3))
        return;
    if (startsWith("\xFF\xFE", 2)) {
        Engine.LanguageFileText = file;
        return;
    }
    // A file without a mark is 8-bit text in the system's code page.
    const int size = MultiByteToWideChar(CP_ACP, 0, file.data(), static_cast<int>(file.size()), nullptr, 0);
    if (size <= 0) return;
    WideText wide(static_cast<std::size_t>(size), L'\0');
    MultiByteToWideChar(CP_ACP, 0, file.data(), static_cast<int>(file.size()), wide.data(), size);
    std::string bytes = "\xFF\xFE";
    for (wchar_t c : wide) {
        bytes += static_cast<char>(c & 0xFF);
        bytes += static_cast<char>((c >> 8) & 0xFF);
    }
    Engine.LanguageFileText = bytes;
}

} // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    RestrictDllSearchPath();
    ReadCommandLine();
    // The copy that deletes the uninstaller after a removal: before any check
    // that one setup runs at a time.
    if (RunRemovalFinisher(Engine.CommandLineParams)) return 0;
    ComApartment com;
    const bool silent = SilentModeRequested(Engine.CommandLineParams);
    StartRunLog(silent);
    int exitCode = 0;
    if (silent) {
        KeepLanguageText();
        exitCode = RunUnattended();
    } else {
        // The window mode loads the language texts into the text system itself.
        exitCode = RunWindowMode();
    }
    FinishRunLog(exitCode);
    return exitCode;
}
