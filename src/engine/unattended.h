#pragma once
// The silent mode of installer and uninstaller: no window, no message box,
// an exit code and one line on standard error for each failure. Windows
// builds only; start-up has read the command line, initialised COM and kept
// the language text before.
#include "engine/unattended_options.h"

// Installs or uninstalls as Engine.UninstallMode says; returns the exit code.
int RunUnattended();
