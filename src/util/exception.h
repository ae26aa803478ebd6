#pragma once
#include <stdexcept>
#include <string>

// The program's general exception class. The few failures that are raised
// rather than reported as texts derive from it.
class Exception : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};
