#pragma once
// One setup at a time, machine-wide: every installer and uninstaller, with a
// window or without, holds one named mutex while it runs, so that two runs
// never share temporaries or sweep each other's. Windows builds only.
//
// A run that hands its work to a child process (an uninstaller that goes on
// from a copy of itself) calls ReleaseOneSetup just before starting the
// child, which then claims the mutex in its own start-up like any run.

// The mutex's name, in the machine-wide namespace.
extern const char* const OneSetupMutexName;

// Takes the mutex for the rest of the process; false when another setup holds
// it (or holds it with rights that keep this process out).
bool ClaimOneSetup();

// Gives the mutex up; later runs may claim it.
void ReleaseOneSetup();
