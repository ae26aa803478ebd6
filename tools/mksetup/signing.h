#pragma once
// Signatures and the packer: a signed stub loses its signature (the sections
// appended behind it would void it anyway), and a finished installer can be
// signed by a command of the user's choice.
#include <cstddef>
#include <ostream>
#include <string>

// The stub's bytes without an Authenticode signature: the certificate table
// dropped, the security directory cleared, the checksum set. Says so on err
// when there was one; an unsigned stub comes back unchanged.
std::string UnsignedStub(const std::string& stubFile, std::string stub, std::ostream& err);

// Makes the built installer (image, then sections) well-formed and ready to
// sign: an even length (a zero byte behind the image when needed, on which
// every checksum tool agrees) and the PE checksum of the final bytes.
void PrepareForSigning(std::string& bytes, std::size_t& imageSize);

// Writes the installer to a temporary name beside output, runs the signing
// command on it ("{}" stands for its path, quoted for the shell), checks the
// result as `verify` does and requires it signed, then moves it into place.
// Throws ToolError(ExitWriteFailed) when the command or the check fails; no
// output file is left behind then.
void WriteSignedInstaller(const std::string& output, const std::string& bytes, const std::string& command,
                          std::ostream& err);
