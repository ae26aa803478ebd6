#pragma once
// Gives a registry key an access list in tests (Windows builds only).
#include <windows.h>
#include <sddl.h>

#include <string>

#include "util/win_handles.h"

// Sets the access list (SDDL, e.g. "D:(D;;SD;;;WD)(A;;KA;;;WD)") of a key of
// HKEY_LOCAL_MACHINE in the 32-bit view; false when that is refused.
inline bool SetMachineKeyAccess(const std::string& path, const char* sddl)
{
    RegKey key;
    LocalMemory<void> descriptor;
    return RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, WRITE_DAC | KEY_WOW64_32KEY, key.receive()) ==
               ERROR_SUCCESS &&
           ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl, SDDL_REVISION_1, descriptor.receive(), nullptr) &&
           RegSetKeySecurity(key.get(), DACL_SECURITY_INFORMATION, descriptor.get()) == ERROR_SUCCESS;
}
