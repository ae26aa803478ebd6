#pragma once
// Writing output files whole: the bytes go to a temporary file beside the
// target, which is renamed over the target only when everything was written,
// so a failure never leaves a half-written file behind.
#include <string>

// Creates missing parent folders. Throws ToolError(ExitWriteFailed).
void WriteFileWhole(const std::string& fileName, const std::string& bytes);

// Reads a whole input file; a missing, unreadable or empty file throws
// ToolError(ExitBadInput) naming the file and what it is used for.
std::string ReadInputFile(const std::string& fileName, const std::string& purpose);
