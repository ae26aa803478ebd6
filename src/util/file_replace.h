#pragma once
// Whole files written so that an interruption at any moment leaves the old
// file or the new one, never a cut one: a file that replaces an existing one
// is written under a temporary name in the same folder and moved over it in
// one step; a new file is written in place (there is nothing to lose) and
// removed again when writing it fails.
#include <string>

// The suffix of the temporary names; nothing else this program writes ends so.
extern const char* const TemporarySuffix;

// The temporary name a replacement of path is written under.
std::string TemporaryNameOf(const std::string& path);

#ifdef _WIN32
#include <windows.h>

#include "util/win_handles.h"

// A whole file being written.
struct TFileWrite {
    FileHandle File;      // the new file itself, or the temporary one
    std::string Path;
    bool Replacing = false; // File is the temporary; finishing moves it over Path
};

// Opens path for writing its complete new contents: ERROR_SUCCESS, or why it
// cannot. An existing read-only file is refused (ERROR_ACCESS_DENIED), as
// Windows refuses to truncate one; Wine run by root would not. The first
// replacement in a folder removes the temporary leftovers of an interrupted
// earlier run there.
DWORD BeginFileWrite(const std::string& path, TFileWrite& write);

// Closes the file and, for a replacement, flushes it to the disk and moves it
// into place. On failure what was written is removed (the temporary, or the
// cut new file) and the error is given. Safe to call from any thread.
DWORD FinishFileWrite(HANDLE file, const std::string& path, bool replacing);
DWORD FinishFileWrite(TFileWrite& write);

// Closes and removes what was written so far.
void AbandonFileWrite(TFileWrite& write);

// Begin, write all bytes, finish.
DWORD WriteFileSafely(const std::string& path, const char* data, std::size_t size);

// Deletes the files of folder whose names end in TemporarySuffix.
void RemoveTemporaryLeftovers(const std::string& folder);
#endif
