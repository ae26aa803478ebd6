// Smaller stand-ins for parts of the C++ runtime, linked into the installer
// only (its image is most of a small product's download). They live in the
// program's own objects, so the runtime's versions are never linked.
#include <cstdarg>
#include <cstddef>
#include <cstdlib>
#include <exception>
#include <new>
#include <string>
#include <typeinfo>

namespace {

// What the runtime's containers raise for a misuse (a position past the end,
// a size beyond the maximum). The runtime's own classes for these,
// std::logic_error and kin, bring a second string implementation of about
// 30 KB; the program catches them only as std::exception.
class TLibraryError : public std::exception {
public:
    explicit TLibraryError(const char* message) { Append(message); }
    TLibraryError(const char* format, std::va_list arguments)
    {
        // The runtime's messages use %zu, %s and %% only.
        for (const char* p = format; *p; ++p) {
            if (p[0] != '%' || p[1] == '\0') {
                Append(p, 1);
            } else if (p[1] == 'z' && p[2] == 'u') {
                Append(std::to_string(va_arg(arguments, std::size_t)).c_str());
                p += 2;
            } else if (p[1] == 's') {
                Append(va_arg(arguments, const char*));
                ++p;
            } else {
                Append(p + 1, 1);
                ++p;
            }
        }
    }
    const char* what() const noexcept override { return text_; }

private:
    void Append(const char* text, std::size_t count = std::string::npos)
    {
        for (std::size_t i = 0; i < count && text[i] && length_ + 1 < sizeof(text_); ++i) text_[length_++] = text[i];
        text_[length_] = '\0';
    }

    char text_[256] = {};
    std::size_t length_ = 0;
};

} // namespace

namespace std {

void __throw_bad_exception() { throw bad_exception(); }
void __throw_bad_alloc() { throw bad_alloc(); }
void __throw_bad_array_new_length() { throw bad_array_new_length(); }
void __throw_bad_cast() { throw bad_cast(); }
void __throw_bad_typeid() { throw bad_typeid(); }
void __throw_logic_error(const char* message) { throw TLibraryError(message); }
void __throw_domain_error(const char* message) { throw TLibraryError(message); }
void __throw_invalid_argument(const char* message) { throw TLibraryError(message); }
void __throw_length_error(const char* message) { throw TLibraryError(message); }
void __throw_out_of_range(const char* message) { throw TLibraryError(message); }
void __throw_runtime_error(const char* message) { throw TLibraryError(message); }
void __throw_range_error(const char* message) { throw TLibraryError(message); }
void __throw_overflow_error(const char* message) { throw TLibraryError(message); }
void __throw_underflow_error(const char* message) { throw TLibraryError(message); }

void __throw_out_of_range_fmt(const char* format, ...)
{
    std::va_list arguments;
    va_start(arguments, format);
    TLibraryError error(format, arguments);
    va_end(arguments);
    throw error;
}

} // namespace std

// The runtime's default reaction to an uncaught exception prints the
// exception's type, and demangling that name links a demangler of about
// 50 KB; a window program has no console to print to.
namespace __gnu_cxx {
void __verbose_terminate_handler()
{
    std::abort();
}
} // namespace __gnu_cxx
