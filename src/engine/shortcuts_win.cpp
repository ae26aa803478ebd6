// Placeholder entries until shortcuts and folder icons are built.
#include "engine/commands.h"

void IconCommand(const TParams&) {}
void DesktopIniCommand(const TParams&) {}
