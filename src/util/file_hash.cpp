#include "util/file_hash.h"

namespace {

int HexDigit(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

} // namespace

bool ParseSha256Hex(const std::string& text, TSha256& digest)
{
    if (text.size() != 2 * digest.size()) return false;
    for (std::size_t i = 0; i < digest.size(); ++i) {
        const int high = HexDigit(text[2 * i]), low = HexDigit(text[2 * i + 1]);
        if (high < 0 || low < 0) return false;
        digest[i] = static_cast<unsigned char>(high << 4 | low);
    }
    return true;
}
