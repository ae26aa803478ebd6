#include "util/nt_security.h"

#include <windows.h>
#include <aclapi.h>

#include <initializer_list>
#include <vector>

#include "util/win_handles.h"

namespace {

bool IsNtFamily()
{
    return (GetVersion() & 0x80000000u) == 0;
}

unsigned MajorVersion()
{
    return GetVersion() & 0xFFu;
}

// The security functions, looked up by name in the already loaded library;
// all three or none.
using SetEntriesInAclFn = DWORD(WINAPI*)(ULONG, PEXPLICIT_ACCESS_A, PACL, PACL*);
using SetNamedSecurityInfoFn = DWORD(WINAPI*)(LPSTR, SE_OBJECT_TYPE, SECURITY_INFORMATION, PSID, PSID, PACL, PACL);
using BuildExplicitAccessWithNameFn = VOID(WINAPI*)(PEXPLICIT_ACCESS_A, LPSTR, DWORD, ACCESS_MODE, DWORD);

struct TSecurityFunctions {
    SetEntriesInAclFn SetEntriesInAcl = nullptr;
    SetNamedSecurityInfoFn SetNamedSecurityInfo = nullptr;
    BuildExplicitAccessWithNameFn BuildExplicitAccessWithName = nullptr;
    bool Complete() const { return SetEntriesInAcl && SetNamedSecurityInfo && BuildExplicitAccessWithName; }
};

TSecurityFunctions SecurityFunctions;
std::string RememberedTrustee;

template <typename T>
T LookUp(HMODULE module, const char* name)
{
    // Through void* so that the compiler accepts the function pointer cast.
    return reinterpret_cast<T>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

bool ResolveSecurityFunctions()
{
    if (SecurityFunctions.Complete()) return true;
    if (!IsNtFamily() || MajorVersion() < 5) return false;
    const HMODULE module = GetModuleHandleA("Advapi32.dll");
    if (!module) return false;
    SecurityFunctions.SetEntriesInAcl = LookUp<SetEntriesInAclFn>(module, "SetEntriesInAclA");
    SecurityFunctions.SetNamedSecurityInfo = LookUp<SetNamedSecurityInfoFn>(module, "SetNamedSecurityInfoA");
    SecurityFunctions.BuildExplicitAccessWithName =
        LookUp<BuildExplicitAccessWithNameFn>(module, "BuildExplicitAccessWithNameA");
    if (SecurityFunctions.Complete()) return true;
    SecurityFunctions = TSecurityFunctions(); // looked up again next time
    return false;
}

struct SidDeleter {
    PSID sid;
    ~SidDeleter() { if (sid) FreeSid(sid); }
};

} // namespace

bool UserIsAdministrator()
{
    if (!IsNtFamily()) return true;
    HANDLE rawToken = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &rawToken)) return false;
    FileHandle token(rawToken);
    DWORD size = 0;
    GetTokenInformation(token.get(), TokenGroups, nullptr, 0, &size);
    if (size == 0) return false;
    std::vector<unsigned char> buffer(size);
    if (!GetTokenInformation(token.get(), TokenGroups, buffer.data(), size, &size)) return false;
    SID_IDENTIFIER_AUTHORITY ntAuthority = SECURITY_NT_AUTHORITY;
    SidDeleter administrators{nullptr};
    if (!AllocateAndInitializeSid(&ntAuthority, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0,
                                  0, 0, 0, &administrators.sid))
        return false;
    const auto* groups = reinterpret_cast<const TOKEN_GROUPS*>(buffer.data());
    // Membership alone counts: enabled or deny-only makes no difference.
    for (DWORD i = 0; i < groups->GroupCount; ++i)
        if (EqualSid(groups->Groups[i].Sid, administrators.sid)) return true;
    return false;
}

bool GrantAccessToTrustee(const std::string& folder, const std::string& trustee)
{
    if (!ResolveSecurityFunctions()) return false;
    EXPLICIT_ACCESS_A access;
    ZeroMemory(&access, sizeof(access));
    std::string trusteeName = trustee; // the functions take non-const text
    SecurityFunctions.BuildExplicitAccessWithName(&access, trusteeName.data(), GENERIC_ALL, GRANT_ACCESS,
                                                  OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE);
    LocalMemory<ACL> acl;
    if (SecurityFunctions.SetEntriesInAcl(1, &access, nullptr, acl.receive()) != ERROR_SUCCESS) return false;
    std::string path = folder;
    return SecurityFunctions.SetNamedSecurityInfo(path.data(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                                                  nullptr, acl.get(), nullptr) == ERROR_SUCCESS;
}

bool GrantUsersFullAccess(const std::string& folder)
{
    if (!IsNtFamily() || MajorVersion() < 5) return true;
    if (!RememberedTrustee.empty() && GrantAccessToTrustee(folder, RememberedTrustee)) return true;
    for (const char* trustee : {"Benutzer", "Users", "Jeder", "Everyone"}) {
        if (GrantAccessToTrustee(folder, trustee)) {
            RememberedTrustee = trustee;
            return true;
        }
    }
    return false;
}

std::string RememberedTrusteeName()
{
    return RememberedTrustee;
}

void ResetFolderAccessState()
{
    RememberedTrustee.clear();
    SecurityFunctions = TSecurityFunctions();
}
