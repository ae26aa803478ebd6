#pragma once
// Shared by the decompression tests of both payload forms.
#include <string>

#include "container/zlib_wrapper.h"

// The text and code a decompression raises, "" when it raises nothing.
template <typename Action>
std::string FailureOf(Action action)
{
    try {
        action();
    } catch (const EZDecompressionError& error) {
        return std::string(error.what()) + " " + std::to_string(error.ErrorCode);
    }
    return "";
}
