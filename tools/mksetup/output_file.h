#pragma once
// Writing output files whole: the bytes go to a temporary file beside the
// target, which is renamed over the target only when everything was written,
// so a failure never leaves a half-written file behind.
#include <cstdint>
#include <string>

#include "mksetup/tool_error.h"

// Creates missing parent folders. Throws ToolError(ExitWriteFailed).
void WriteFileWhole(const std::string& fileName, const std::string& bytes);

// Reads a whole input file; a missing, unreadable or empty file throws
// ToolError(ExitBadInput) naming the file and what it is used for.
std::string ReadInputFile(const std::string& fileName, const std::string& purpose);

// The error for a file the disk has no room for: it names the file and the
// bytes that at least are missing (ExitWriteFailed).
ToolError DiskFullError(const std::string& fileName, std::uint64_t missing);

// The bytes free for this user on the disk where fileName is (or would be).
std::uint64_t FreeDiskBytes(const std::string& fileName);
