#include "lang/code_pages.h"

#include "lang/byte_order.h"

#include <iconv.h>

#include <cerrno>
#include <vector>

// Windows code pages through glibc's iconv ("CP1250" ... "CP1258", "CP874",
// "CP932", ...). Where the results differ from Windows:
// - WideToAnsi: Windows maps a character that the code page lacks to a similar
//   one where its best-fit table has one (U+0141 'Ł' becomes 'L' in 1252, 'ñ'
//   becomes 'n' in 1250) and to '?' otherwise, and WC_COMPOSITECHECK joins a
//   letter with a following combining mark. iconv has no best-fit tables and
//   composes nothing: here every character the code page lacks becomes '?'
//   (a combining mark included). Both write one '?' per UTF-16 unit, so a
//   character outside the Basic Multilingual Plane gives "??".
// - AnsiToWide: bytes a single-byte code page leaves undefined (0x81, 0x8D, 0x8F,
//   0x90, 0x9D in 1252) are refused by iconv; Windows maps them to the control
//   characters U+0081 and so on, and back, and so does this code.
// Code pages whose conversions Windows refuses with these flags (UTF-8, UTF-7,
// the ISO-2022 and ISCII families, symbol) give the empty text here as they do
// on Windows (Wine converts them anyway; the program never asks for them).

namespace {

class IconvHandle {
public:
    IconvHandle(const char* to, const char* from) : handle_(iconv_open(to, from)) {}
    ~IconvHandle()
    {
        if (*this) iconv_close(handle_);
    }
    IconvHandle(const IconvHandle&) = delete;
    IconvHandle& operator=(const IconvHandle&) = delete;
    explicit operator bool() const { return handle_ != reinterpret_cast<iconv_t>(-1); }
    iconv_t get() const { return handle_; }

private:
    iconv_t handle_;
};

bool RefusesFlags(std::uint32_t codePage)
{
    return codePage == 42 || (codePage >= 50220 && codePage <= 50229) || (codePage >= 57002 && codePage <= 57011) ||
           codePage == 65000 || codePage == 65001;
}

std::string IconvName(std::uint32_t codePage)
{
    return "CP" + std::to_string(codePage);
}

// Converts input with iconv; on a sequence the converter refuses, onInvalid
// appends a replacement to out and returns how many input bytes to skip (0 stops).
template <typename OnInvalid>
bool Convert(iconv_t cd, const std::string& input, std::string& out, OnInvalid onInvalid)
{
    char* in = const_cast<char*>(input.data());
    std::size_t inLeft = input.size();
    std::vector<char> buffer(input.size() * 2 + 16);
    while (inLeft > 0) {
        char* outPtr = buffer.data();
        std::size_t outLeft = buffer.size();
        const std::size_t rc = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
        out.append(buffer.data(), buffer.size() - outLeft);
        if (rc != static_cast<std::size_t>(-1)) break;
        if (errno == E2BIG) continue;
        if (errno != EILSEQ && errno != EINVAL) return false;
        const std::size_t skip = onInvalid(in, inLeft, out);
        if (skip == 0 || skip > inLeft) break;
        in += skip;
        inLeft -= skip;
    }
    return true;
}

bool IsUndefinedByte(std::uint32_t codePage, unsigned char byte)
{
    IconvHandle cd("UTF-16LE", IconvName(codePage).c_str());
    if (!cd) return false;
    char in = static_cast<char>(byte);
    char* inPtr = &in;
    std::size_t inLeft = 1;
    char out[8];
    char* outPtr = out;
    std::size_t outLeft = sizeof out;
    return iconv(cd.get(), &inPtr, &inLeft, &outPtr, &outLeft) == static_cast<std::size_t>(-1);
}

} // namespace

WideString AnsiToWide(const std::string& text, std::uint32_t codePage)
{
    if (text.empty() || RefusesFlags(codePage)) return WideString();
    IconvHandle cd("UTF-16LE", IconvName(codePage).c_str());
    if (!cd) return WideString();
    std::string out;
    const bool ok = Convert(cd.get(), text, out, [](const char* in, std::size_t, std::string& o) {
        const unsigned char byte = static_cast<unsigned char>(*in);
        o.push_back(static_cast<char>(byte));
        o.push_back('\0');
        return std::size_t{1};
    });
    return ok ? Utf16LeBytesToWide(out.data(), out.size()) : WideString();
}

std::string WideToAnsi(const WideString& text, std::uint32_t codePage)
{
    const std::size_t end = text.find(u'\0');
    const std::size_t length = end == WideString::npos ? text.size() : end;
    if (length == 0 || RefusesFlags(codePage)) return std::string();
    IconvHandle cd(IconvName(codePage).c_str(), "UTF-16LE");
    if (!cd) return std::string();
    std::string out;
    const bool ok = Convert(cd.get(), WideToUtf16LeBytes(text.substr(0, length)), out,
                            [codePage](const char* in, std::size_t left, std::string& o) {
                                if (left < 2) {
                                    o.push_back('?');
                                    return std::size_t{0};
                                }
                                // Back to the byte the code page leaves undefined, as AnsiToWide maps it.
                                const unsigned char low = static_cast<unsigned char>(in[0]);
                                if (in[1] == 0 && low >= 0x80 && low <= 0x9F && IsUndefinedByte(codePage, low)) {
                                    o.push_back(static_cast<char>(low));
                                } else {
                                    // Like Windows, one '?' per UTF-16 unit: a surrogate pair gives two.
                                    o.push_back('?');
                                }
                                return std::size_t{2};
                            });
    return ok ? out : std::string();
}

WideString Utf8ToWide(const std::string& bytes)
{
    if (bytes.empty()) return WideString();
    IconvHandle cd("UTF-16LE", "UTF-8");
    if (!cd) return WideString();
    std::string out;
    Convert(cd.get(), bytes, out, [](const char*, std::size_t, std::string& o) {
        o.push_back(static_cast<char>(0xFD));
        o.push_back(static_cast<char>(0xFF));
        return std::size_t{1};
    });
    return Utf16LeBytesToWide(out.data(), out.size());
}
