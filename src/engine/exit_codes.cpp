#include "engine/exit_codes.h"

namespace {

// Values of winerror.h, so that the mapping is portable and testable.
const unsigned long ErrorSharingViolation = 32;
const unsigned long ErrorLockViolation = 33;
const unsigned long ErrorHandleDiskFull = 39;
const unsigned long ErrorDiskFull = 112;

int FirstFailure = UnattendedSuccess;

} // namespace

const TExitCodeInfo ExitCodeTable[] = {
    {UnattendedSuccess, "done", ""},
    {UnattendedScriptErrors, "other errors", ""},
    {UnattendedBadArguments, "invalid arguments", "invalidParameter"},
    {UnattendedNewerInstalled, "a newer version is installed", "downgrade"},
    {UnattendedAlreadyRunning, "another setup is running", "installInProgress"},
    {UnattendedDiskFull, "disk full", "diskFull"},
    {UnattendedFileInUse, "a file to be replaced, or the program to be removed, is in use", "fileInUse"},
    {UnattendedInstallerDamaged, "the installer or the uninstall list is damaged; nothing was written", "contactSupport"},
};
const std::size_t ExitCodeCount = sizeof(ExitCodeTable) / sizeof(ExitCodeTable[0]);

int ExitCodeOfWin32Error(unsigned long error)
{
    if (error == ErrorDiskFull || error == ErrorHandleDiskFull) return UnattendedDiskFull;
    if (error == ErrorSharingViolation || error == ErrorLockViolation) return UnattendedFileInUse;
    return UnattendedScriptErrors;
}

void NoteFailure(int code)
{
    if (FirstFailure == UnattendedSuccess) FirstFailure = code;
}

int FailureExitCode()
{
    return FirstFailure == UnattendedSuccess ? UnattendedScriptErrors : FirstFailure;
}

int FirstFailureCode()
{
    return FirstFailure;
}

void ResetFailures()
{
    FirstFailure = UnattendedSuccess;
}
