#pragma once
// Signatures and the packer: a signed stub loses its signature (the sections
// appended behind it would void it anyway), and a finished installer can be
// signed by a command of the user's choice.
#include <cstddef>
#include <functional>
#include <ostream>
#include <string>

#include "mksetup/installer_builder.h"

// The stub's bytes without an Authenticode signature: the certificate table
// dropped, the security directory cleared, the checksum set. Says so on err
// when there was one; an unsigned stub comes back unchanged. Throws
// ToolError(ExitBadInput) for a file without a valid PE header.
std::string UnsignedStub(const std::string& stubFile, std::string stub, std::ostream& err);

// Builds the installer (build writes the file it is given) under a temporary
// name beside output, runs the signing command on it ("{}" stands for its
// path, quoted for the shell), checks the result as `verify` does and
// requires it signed, then moves it into place. Throws
// ToolError(ExitWriteFailed) when the command or the check fails; no output
// file is left behind then.
BuildResult BuildSignedInstaller(const std::string& output, const std::string& command, std::ostream& err,
                                 const std::function<BuildResult(const std::string&)>& build);
