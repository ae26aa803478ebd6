#pragma once
// The administrator check and folder access rights. Windows builds only.
#include <string>

// True when the process token lists the Administrators group (S-1-5-32-544),
// whatever the group's attributes; always true outside the NT family.
bool UserIsAdministrator();

// Gives trustee full control of folder, inherited by files and sub-folders.
// True when the folder's access list was set.
bool GrantAccessToTrustee(const std::string& folder, const std::string& trustee);

// Grants full access to the first of "Benutzer", "Users", "Jeder", "Everyone"
// that works, trying the name that worked last time first. True on success and
// on systems where there is nothing to do.
bool GrantUsersFullAccess(const std::string& folder);

// The trustee name of the last successful grant (empty before), and forgetting
// it with the looked-up functions (tests).
std::string RememberedTrusteeName();
void ResetFolderAccessState();
