#pragma once
// The command handlers that the dispatcher (setup_script) calls, and the
// engine services the run uses at its end. Each handler reads its parameters
// from the items of its script line.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "engine/command_text.h"

class TDecodeStream;
class TPiecePrefetch;

// The decompressed payload stream; "save" consumes it from the front. Its
// bytes are Data from Position on, followed by what Stream still gives: the
// installer's payload (zlib or solid LZMA) is decoded from its file piece
// after piece, never held whole.
struct TPayload {
    std::string Data;
    std::size_t Position = 0;
    std::shared_ptr<TDecodeStream> Stream;
    std::uint64_t StreamLeft = 0; // bytes Stream still gives (its size is checked before)
    // When set, the pieces are cut on a second thread and "save" takes them
    // from here in script order; Data and Stream then belong to that thread.
    std::shared_ptr<TPiecePrefetch> Prefetch;
};

// Errors: texts appended to Engine.ErrorText, each followed by "; ".
void AddError(const std::string& message);
// AddError, then a message box captioned "Setup" unless Engine.QuietErrors.
void ReportError(const std::string& message);

// "save" and "saveifnotexists" (extraction).
bool SaveCommand(const TParams& params, TPayload& payload, bool keepExisting);

// "path" (path command and registry).
void PathCommand(const TParams& params);
// "uninst": bare uninstaller image and the uninstall registration.
void UninstCommand(const TParams& params);
// Writes a string value under HKEY_LOCAL_MACHINE (else HKEY_CURRENT_USER)\Engine.RegistryKey.
void WriteProductValue(const std::string& name, const std::string& value);

// "icon" and "desktopini" (shortcuts and folder icons).
void IconCommand(const TParams& params);
void DesktopIniCommand(const TParams& params);

// "exec": keeps the launch parameters.
void ExecCommand(const TParams& params);
// Writes "uninstall.exe" with its sections at the end of every full run;
// false, with "Write Error: " and the path in ErrorText, when it cannot.
bool BuildUninstaller();
