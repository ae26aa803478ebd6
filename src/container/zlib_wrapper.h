#pragma once
// The thin layer over zlib through which the script, the payload, single
// compressed files and the uninstall list are compressed and decompressed
// (RFC 1950 streams, window 15, memory level 8).
#include <string>
#include <vector>

#include "util/exception.h"

enum CompressionLevel { LevelNone = 0, LevelFastest = 1, LevelDefault = 2, LevelBest = 3 };

// zlib level of each CompressionLevel.
extern const signed char CompressionLevels[4];

// Indexed by 2 minus the zlib result code.
extern const char* const ZLibErrorTexts[10];

class EZLibError : public Exception {
public:
    EZLibError(const std::string& message, int errorCode) : Exception(message), ErrorCode(errorCode) {}
    int ErrorCode;
};
class EZCompressionError : public EZLibError {
public:
    using EZLibError::EZLibError;
};
class EZDecompressionError : public EZLibError {
public:
    using EZLibError::EZLibError;
};

// The output block sizes handed to each inflate call, for callers that want to
// see how the output grew.
struct DecompressTrace {
    std::vector<int> OutputBlockSizes;
};

std::string CompressBuffer(const void* input, int inputSize, CompressionLevel level);
std::string DecompressBuffer(const void* input, int inputSize, int outputEstimate,
                             DecompressTrace* trace = nullptr);
std::string CompressString(const std::string& text, CompressionLevel level);
std::string DecompressString(const std::string& data);

// Return code unchanged when it is 0 or above; raise otherwise.
int CheckCompressionResult(int code);
int CheckDecompressionResult(int code);
