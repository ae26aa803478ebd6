// Placeholder entries until the path command and the uninstall registration are built.
#include "engine/commands.h"

void PathCommand(const TParams&) {}
void UninstCommand(const TParams&) {}
void WriteProductValue(const std::string&, const std::string&) {}
