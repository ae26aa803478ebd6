#pragma once
// Whole files written so that an interruption at any moment leaves the old
// file or the new one, never a cut one: a file that replaces an existing one
// is written under a temporary name in the same folder and moved over it in
// one step. A new file is written in place (there is nothing to lose) and
// removed again when writing it fails; one whose mere existence counts (a file
// kept when it exists, the settings file) goes through a temporary too.
//
// Temporaries have one name pattern, "~st" and five hexadecimal digits: eight
// characters, so that one fits beside any file of a folder that CreateDirectoryA
// can make (248 characters), and nothing a user plausibly names a file. Each is
// created anew (never an existing file opened), and the leftovers of an
// interrupted run are removed only by that pattern, only in folders written to.
#include <string>

// The temporary name numbered number (its low 20 bits).
std::string TemporaryName(unsigned number);

// Whether a file name (without its folder) has the temporaries' pattern.
bool IsTemporaryName(const std::string& name);

#ifdef _WIN32
#include <windows.h>

#include "util/win_handles.h"

// A whole file being written.
struct TFileWrite {
    FileHandle File;
    std::string Path;
    std::string Temporary;  // the file written when not empty; finishing moves it to Path
    bool Replacing = false; // that move replaces the file at Path
};

// Opens path for writing its complete new contents: ERROR_SUCCESS, or why it
// cannot. An existing file is replaced through a temporary; a new one is
// written in place unless newThroughTemporary. An existing read-only file is
// refused (ERROR_ACCESS_DENIED), as Windows refuses to truncate one; Wine run
// by root would not.
DWORD BeginFileWrite(const std::string& path, TFileWrite& write, bool newThroughTemporary = false);

// Closes the file and, when it is a temporary, flushes it to the disk and moves
// it to path (over the old file when replacing; a new file's move overwrites
// nothing that appeared meanwhile). On failure what was written is removed and
// the error is given. Safe to call from any thread.
DWORD FinishFileWrite(HANDLE file, const std::string& path, const std::string& temporary, bool replacing);
DWORD FinishFileWrite(TFileWrite& write);

// Closes and removes what was written so far.
void AbandonFileWrite(TFileWrite& write);

// Begin (a new file through a temporary too), write all bytes, finish.
DWORD WriteFileSafely(const std::string& path, const char* data, std::size_t size);

// Deletes the temporaries that an interrupted run left in folder; each folder
// once per process (later ones are this run's own). Called before the first
// temporary in a folder, and by the removal for the folders of listed files.
void RemoveTemporaryLeftovers(const std::string& folder);
#endif
