// Placeholder entries until the uninstaller build and the uninstall run are built.
#include "engine/commands.h"

void ExecCommand(const TParams&) {}
void BuildUninstaller() {}
