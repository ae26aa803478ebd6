#pragma once
// The silent mode of installer and uninstaller: no window, no message box,
// an exit code and one line on standard error for each failure. Windows
// builds only; start-up has read the command line and initialised COM before.
#include "engine/unattended_options.h"

// Starts the text system and loads the language texts as the window mode
// does, then installs or uninstalls as Engine.UninstallMode says; returns the
// exit code.
int RunUnattended();
