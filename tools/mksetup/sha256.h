#pragma once
// SHA-256 (FIPS 180-4), for the installer hash a deployment manifest states.
#include <string>

// The digest of data as 64 upper-case hexadecimal digits.
std::string Sha256Hex(const std::string& data);
