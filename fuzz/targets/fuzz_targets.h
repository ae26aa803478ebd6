#pragma once
// The fuzz targets: one function per parser of untrusted bytes. Each returns 0
// and aborts (through FuzzCheck) when a property of the parser does not hold,
// so that libFuzzer and the replay test both see the fault.
#include <cstddef>
#include <cstdint>

using TFuzzTarget = int (*)(const std::uint8_t* data, std::size_t size);

int FuzzSectionLookup(const std::uint8_t* data, std::size_t size);
int FuzzDecompress(const std::uint8_t* data, std::size_t size);
int FuzzLanguageFile(const std::uint8_t* data, std::size_t size);
int FuzzCommandText(const std::uint8_t* data, std::size_t size);
int FuzzUninstallList(const std::uint8_t* data, std::size_t size);
int FuzzPackageReader(const std::uint8_t* data, std::size_t size);
int FuzzInstallerVerify(const std::uint8_t* data, std::size_t size);
int FuzzPayloadDecode(const std::uint8_t* data, std::size_t size);

struct TFuzzTargetEntry {
    const char* Name; // also the folder name of its corpus and regression inputs
    TFuzzTarget Function;
};

// Every target, in the order make fuzz runs them.
extern const TFuzzTargetEntry FuzzTargets[8];

// Aborts with the message when the condition is false.
void FuzzCheck(bool condition, const char* message);
