#include "engine/setup_script.h"

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <optional>
#include <vector>

#include "container/payload_codec.h"
#include "container/sections.h"
#include "container/zlib_wrapper.h"
#include "engine/command_text.h"
#include "engine/deferred_closes.h"
#include "engine/engine_state.h"
#include "engine/exit_codes.h"
#include "engine/piece_prefetch.h"
#include "engine/run_log.h"
#include "engine/script_actions.h"
#include "engine/upgrade_check.h"
#include "util/exception.h"
#include "util/win_handles.h"

namespace {

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

// Gives the bytes of one section of the own file, piece after piece.
TDecodeStream::TSource SectionSource(const TSectionPart& container, std::uint64_t position, std::uint64_t length)
{
    auto next = std::make_shared<std::uint64_t>(position);
    const std::uint64_t end = position + length;
    return [container, next, end](char* buffer, std::size_t capacity) -> std::size_t {
        if (*next >= end) return 0;
        const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(capacity, end - *next));
        std::size_t done = 0;
        if (!container.ReadInto(*next, buffer, want, done)) return 0; // a file that went away reads as cut short
        *next += done;
        return done;
    };
}

// Damage in the payload section ends the run before any file is written: the
// packer's check item (length and CRC-32 of the section's bytes, and its
// decoded size) is compared in one quick read; without one, the section is
// decoded once to its end without keeping anything. The result is kept for
// the rest of the loaded file's life (the path-only run and the full run).
struct TCheckedPayload {
    unsigned Load = 0;
    std::uint64_t Position = 0;
    std::uint64_t Length = 0;
    std::uint64_t Size = 0;
};

std::uint64_t CheckedPayloadSize(const TSectionPart& container, std::uint64_t position, std::uint64_t length)
{
    std::string item;
    TPayloadCheck check;
    if (!GetSection(SectionSetupSum, container, item) || !ReadPayloadCheck(item, check))
        return CheckDecodeStream(SectionSource(container, position, length));
    if (!SectionMatchesCheck(check, SectionSource(container, position, length)))
        throw EZDecompressionError(ZLibErrorTexts[5], -3); // "data error", as decoding it would say
    return check.DecodedSize;
}

TPayload OpenPayload(const TSectionPart& container, std::uint64_t position, std::uint64_t length, bool pathOnly)
{
    static TCheckedPayload checked;
    if (checked.Load != OwnSectionsLoadCount || checked.Position != position || checked.Length != length) {
        checked = TCheckedPayload();
        checked.Size = CheckedPayloadSize(container, position, length);
        checked.Load = OwnSectionsLoadCount;
        checked.Position = position;
        checked.Length = length;
    }
    TPayload payload;
    if (pathOnly) return payload; // nothing is consumed there
    // One decoding thread (beside the writing one): blocks decoded side by
    // side buffer each whole block, which on 100 MB of program files took the
    // peak from 101 to 218 MB and the time down by less than a tenth.
    payload.Stream = OpenDecodeStream(SectionSource(container, position, length));
    payload.StreamLeft = checked.Size;
    return payload;
}

bool IsPieceLine(const std::string& line)
{
    const TScriptAction action = LineAction(SplitCommaText(line));
    return action == TScriptAction::Save || action == TScriptAction::SaveIfNotExists;
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
    const TScriptAction action = LineAction(params);
    // Every other command may touch the written files: they are finished first.
    if (action != TScriptAction::Save && action != TScriptAction::SaveIfNotExists && !FinishPendingWrites())
        return false;
    switch (action) {
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
        NoteFailure(UnattendedInstallerDamaged);
        ReportError("setup information not found");
        return false;
    }
    std::string script;
    GetSection(SectionSetupCmd, OwnSectionPart, script);
    if (script.empty()) {
        NoteFailure(UnattendedInstallerDamaged);
        ReportError("setup commands not found");
        return false;
    }
    std::uint64_t payloadPosition = 0;
    std::uint64_t payloadLength = 0;
    GetSectionPlace(SectionSetupBin, OwnSectionPart, payloadPosition, payloadLength);
    TPayload payload;
    try {
        script = DecompressString(script);
        if (payloadLength > 0) payload = OpenPayload(OwnSectionPart, payloadPosition, payloadLength, pathOnly);
    } catch (...) {
        NoteFailure(UnattendedInstallerDamaged); // found before anything is written
        throw;
    }
    if (!pathOnly) RunLogInstallSettings();

    // The log keeps the numbers of the lines that ran, not copies: a script
    // of many thousand lines is held once.
    std::vector<std::string> lines = SplitLines(script);
    std::string().swap(script);
    // The pieces are inflated on a second thread while this one writes.
    if (!pathOnly) payload = PrefetchPieces(lines, std::move(payload));
    std::vector<std::size_t> ran;
    {
        // Written files are closed on a few threads meanwhile; leaving this
        // block, also by an exception, finishes every one of them.
        std::optional<TDeferredCloses> closes;
        if (!pathOnly) closes.emplace();
        SetUnchangedFiles({});
        bool checked = pathOnly;
        for (std::size_t i = 0; i < lines.size(); ++i) {
            const std::string& line = lines[i];
            if (pathOnly && CommandAction(line) != "path") continue;
            // Nothing is written unless every file to be replaced can be.
            if (!checked && IsPieceLine(line)) {
                checked = true;
                if (!CheckBeforeFirstWrite(lines, i, payload)) break;
            }
            ran.push_back(i);
            const bool succeeded = ExecuteCommand(line, payload);
            RunLogCommand(line, succeeded);
            if (!succeeded) {
                AddError("Command failed: " + line);
                break;
            }
        }
        FinishPendingWrites(); // a failure counts before the outcome is decided
    }
    payload = TPayload(); // stops the second thread and frees what it prepared
    if (!pathOnly) {
        // An uninstaller that cannot be written is an error of the run, so
        // the outcome and the log come after it. The values are written in
        // any case: they lead a repairing rerun to the installed folder.
        BuildUninstaller();
        if (!Engine.MainProgram.empty()) WriteProductValue("Exec", Engine.MainProgram);
        if (!Engine.DataPath.empty()) WriteProductValue("DataPath", Engine.DataPath);
    }
    if (!Engine.ErrorText.empty()) {
        std::vector<std::string> log;
        log.reserve(ran.size() + 1);
        for (std::size_t i : ran) log.push_back(std::move(lines[i]));
        log.push_back("Errors: " + Engine.ErrorText);
        SaveLog(log);
    }
    return Engine.ErrorText.empty();
}
