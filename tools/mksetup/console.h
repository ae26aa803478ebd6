#pragma once
// The few console properties the packer needs from the OS.

// Whether standard error goes to a terminal (progress is shown only there).
bool StandardErrorIsTerminal();

// Standard output passes bytes unchanged (no CR added before LF).
void UseBinaryStandardOutput();
