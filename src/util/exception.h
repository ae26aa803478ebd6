#pragma once
#include <exception>
#include <string>

// The program's general exception class. The few failures that are raised
// rather than reported as texts derive from it. Not std::runtime_error: that
// class keeps its text in a second string implementation, which would add
// about 30 KB to the installer's image.
class Exception : public std::exception {
public:
    explicit Exception(const std::string& message) : message_(message) {}
    explicit Exception(const char* message) : message_(message) {}
    const char* what() const noexcept override { return message_.c_str(); }

private:
    std::string message_;
};
