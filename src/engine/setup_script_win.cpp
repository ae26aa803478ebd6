#include "engine/setup_script.h"

#include <windows.h>

#include <vector>

#include "container/sections.h"
#include "container/zlib_wrapper.h"
#include "engine/command_text.h"
#include "engine/engine_state.h"
#include "engine/script_actions.h"
#include "util/exception.h"
#include "util/win_handles.h"

namespace {

// Only this many characters of an action take part in the matching.
const std::size_t ActionLength = 31;

// Every line followed by CR LF, overwriting an existing log. Failing to
// create it raises, as any other failure below the engine does.
void SaveLog(const std::vector<std::string>& lines)
{
    std::string text;
    for (const std::string& line : lines) {
        text += line;
        text += "\r\n";
    }
    FileHandle file(CreateFileA(LogFileName, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                nullptr));
    if (!file) throw Exception(std::string("Cannot create file \"") + LogFileName + "\"");
    DWORD written = 0;
    if (!text.empty() &&
        (!WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr) ||
         written != text.size()))
        throw Exception(std::string("Cannot write file \"") + LogFileName + "\"");
}

} // namespace

void ReportError(const std::string& message)
{
    AddError(message);
    if (!Engine.QuietErrors) MessageBoxA(nullptr, message.c_str(), "Setup", MB_OK | MB_ICONERROR);
}

bool ExecuteCommand(const std::string& line, TPayload& payload)
{
    const TParams params = SplitCommaText(line);
    switch (ScriptActionOf(ParamValue(params, "action").substr(0, ActionLength))) {
    case TScriptAction::DesktopIni:
        DesktopIniCommand(params);
        return true;
    case TScriptAction::Exec:
        ExecCommand(params);
        return true;
    case TScriptAction::Icon:
        IconCommand(params);
        return true;
    case TScriptAction::Path:
        PathCommand(params);
        return true;
    case TScriptAction::Save:
        return SaveCommand(params, payload, false);
    case TScriptAction::SaveIfNotExists:
        return SaveCommand(params, payload, true);
    case TScriptAction::Uninst:
        UninstCommand(params);
        return true;
    case TScriptAction::Unknown:
        break;
    }
    return false;
}

bool RunSetupScript(bool pathOnly)
{
    LoadOwnSections();
    if (SectionsState != Loaded) {
        ReportError("setup information not found");
        return false;
    }
    std::string script;
    GetSection(SectionSetupCmd, OwnSectionPart, script);
    if (script.empty()) {
        ReportError("setup commands not found");
        return false;
    }
    TPayload payload;
    GetSection(SectionSetupBin, OwnSectionPart, payload.Data);
    script = DecompressString(script);
    if (!payload.Data.empty()) payload.Data = DecompressString(payload.Data);

    std::vector<std::string> log;
    for (const std::string& line : SplitLines(script)) {
        if (pathOnly && CommandAction(line) != "path") continue;
        log.push_back(line);
        if (!ExecuteCommand(line, payload)) {
            AddError("Command failed: " + line);
            break;
        }
    }
    if (!Engine.ErrorText.empty()) {
        log.push_back("Errors: " + Engine.ErrorText);
        SaveLog(log);
    }
    const bool result = Engine.ErrorText.empty();
    if (pathOnly) return result;

    BuildUninstaller();
    if (!Engine.MainProgram.empty()) WriteProductValue("Exec", Engine.MainProgram);
    if (!Engine.DataPath.empty()) WriteProductValue("DataPath", Engine.DataPath);
    return result;
}
