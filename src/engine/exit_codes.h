#pragma once
// The exit codes of the unattended mode, for installation and removal: one
// table, which the documentation is checked against. The first failure of a
// run decides the code; later ones do not change it.
#include <cstddef>
#include <string>

// The codes, also used by the deployment manifest that mksetup writes.
enum TUnattendedExitCode {
    UnattendedSuccess = 0,
    UnattendedScriptErrors = 1,
    UnattendedBadArguments = 2,
    UnattendedNewerInstalled = 3,
    UnattendedAlreadyRunning = 4,
    UnattendedDiskFull = 5,
    UnattendedFileInUse = 6,
    UnattendedInstallerDamaged = 7,
};

struct TExitCodeInfo {
    int Code;
    const char* Meaning;      // as the documentation's tables give it
    const char* WingetResult; // the name a winget manifest maps the code to; empty for 0 and 1
};

extern const TExitCodeInfo ExitCodeTable[];
extern const std::size_t ExitCodeCount;

// The code a failed write with this Win32 error stands for: disk full, file
// in use, else other errors.
int ExitCodeOfWin32Error(unsigned long error);

// Records a failure of the given code unless an earlier one was recorded.
void NoteFailure(int code);
// The code of the first failure, UnattendedScriptErrors when none was
// recorded (a failure known only by its error text).
int FailureExitCode();
// The code of the first failure, or UnattendedSuccess.
int FirstFailureCode();
// Forgets recorded failures (tests run several installations in one process).
void ResetFailures();
