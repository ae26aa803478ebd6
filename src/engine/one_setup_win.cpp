#include "engine/one_setup.h"

#include <windows.h>

#include "util/win_handles.h"

const char* const OneSetupMutexName = "Global\\TBvSetupForm1.OneSetup";

namespace {

// Owned by the main thread, which claims and releases it.
FileHandle Held;

} // namespace

bool ClaimOneSetup()
{
    Held.reset(CreateMutexA(nullptr, FALSE, OneSetupMutexName));
    if (!Held) return false;
    // An owner that ended without releasing it leaves it abandoned: free.
    const DWORD wait = WaitForSingleObject(Held.get(), 0);
    return wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED;
}

void ReleaseOneSetup()
{
    if (Held) ReleaseMutex(Held.get());
    Held.reset();
}
