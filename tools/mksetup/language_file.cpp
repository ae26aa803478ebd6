#include "mksetup/language_file.h"

#include <cstdint>

#include "mksetup/tool_error.h"

namespace {

bool StartsWith(const std::string& bytes, const char* prefix, std::size_t length)
{
    return bytes.size() >= length && bytes.compare(0, length, prefix, length) == 0;
}

void AppendUnit(std::string& out, std::uint32_t unit)
{
    out += static_cast<char>(unit & 0xFF);
    out += static_cast<char>((unit >> 8) & 0xFF);
}

// Strict UTF-8: no overlong forms, no encoded surrogates, nothing above
// U+10FFFF. Returns the position of the first bad byte, or npos.
std::size_t Utf8ToUtf16Le(const std::string& text, std::size_t start, std::string& out)
{
    std::size_t i = start;
    while (i < text.size()) {
        const unsigned char lead = static_cast<unsigned char>(text[i]);
        std::uint32_t code;
        std::size_t extra;
        if (lead < 0x80) {
            code = lead;
            extra = 0;
        } else if (lead >= 0xC2 && lead <= 0xDF) {
            code = lead & 0x1F;
            extra = 1;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            code = lead & 0x0F;
            extra = 2;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            code = lead & 0x07;
            extra = 3;
        } else {
            return i;
        }
        if (i + extra >= text.size()) return i; // cut short
        for (std::size_t k = 1; k <= extra; ++k) {
            const unsigned char next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80) return i;
            code = (code << 6) | (next & 0x3F);
        }
        const bool overlong = (extra == 2 && code < 0x800) || (extra == 3 && code < 0x10000);
        if (overlong || (code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF) return i;
        if (code >= 0x10000) {
            code -= 0x10000;
            AppendUnit(out, 0xD800 + (code >> 10));
            AppendUnit(out, 0xDC00 + (code & 0x3FF));
        } else {
            AppendUnit(out, code);
        }
        i += extra + 1;
    }
    return std::string::npos;
}

} // namespace

std::string LanguageSectionData(const std::string& fileName, const std::string& bytes)
{
    const auto refuse = [&](const std::string& why) {
        return ToolError(ExitBadInput, "language file " + fileName + ": " + why);
    };
    if (bytes.empty()) throw refuse("empty");
    if (StartsWith(bytes, "\xFF\xFE\x00\x00", 4)) throw refuse("UTF-32 is not accepted (use UTF-16LE or UTF-8)");
    if (StartsWith(bytes, "\xFF\xFE", 2)) {
        if (bytes.size() % 2 != 0) throw refuse("UTF-16LE text of an odd number of bytes");
        return bytes;
    }
    if (StartsWith(bytes, "\xFE\xFF", 2)) throw refuse("UTF-16 big-endian is not accepted (use UTF-16LE or UTF-8)");
    if (StartsWith(bytes, "\x00\x00\xFE\xFF", 4)) throw refuse("UTF-32 is not accepted (use UTF-16LE or UTF-8)");
    if (bytes.find('\0') != std::string::npos)
        throw refuse("holds zero bytes but no UTF-16LE mark (UTF-16 needs its mark FF FE)");
    const std::size_t start = StartsWith(bytes, "\xEF\xBB\xBF", 3) ? 3 : 0;
    std::string utf16 = "\xFF\xFE";
    const std::size_t bad = Utf8ToUtf16Le(bytes, start, utf16);
    if (bad != std::string::npos)
        throw refuse("neither UTF-16LE with its mark nor UTF-8 (byte " + std::to_string(bad) + " is no UTF-8)");
    return utf16;
}
