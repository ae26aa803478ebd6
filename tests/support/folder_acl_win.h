#pragma once
// Reads a folder's own access list in tests (Windows builds only).
#include <windows.h>
#include <aclapi.h>

#include <string>

#include "util/win_handles.h"

struct TAllowedEntry {
    bool Found = false;
    DWORD Mask = 0;
    BYTE Flags = 0;
};

// The first access-allowed entry for the well-known group in the folder's own access list.
inline TAllowedEntry AllowedEntryFor(const std::string& folder, WELL_KNOWN_SID_TYPE group)
{
    TAllowedEntry entry;
    BYTE sid[SECURITY_MAX_SID_SIZE];
    DWORD sidSize = sizeof(sid);
    if (!CreateWellKnownSid(group, nullptr, sid, &sidSize)) return entry;
    PACL dacl = nullptr;
    LocalMemory<void> descriptor;
    std::string path = folder;
    if (GetNamedSecurityInfoA(path.data(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &dacl,
                              nullptr, descriptor.receive()) != ERROR_SUCCESS ||
        !dacl)
        return entry;
    for (DWORD i = 0; i < dacl->AceCount; ++i) {
        void* ace = nullptr;
        if (!GetAce(dacl, i, &ace)) continue;
        auto* allowed = static_cast<ACCESS_ALLOWED_ACE*>(ace);
        if (allowed->Header.AceType != ACCESS_ALLOWED_ACE_TYPE) continue;
        if (!EqualSid(&allowed->SidStart, sid)) continue;
        entry.Found = true;
        entry.Mask = allowed->Mask;
        entry.Flags = allowed->Header.AceFlags;
        return entry;
    }
    return entry;
}
