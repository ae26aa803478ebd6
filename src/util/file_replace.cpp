#include "util/file_replace.h"

#include <cctype>

namespace {

const std::size_t TemporaryDigits = 5;

} // namespace

std::string TemporaryName(unsigned number)
{
    std::string name = "~st";
    for (std::size_t i = TemporaryDigits; i-- > 0;) name += "0123456789ABCDEF"[(number >> (4 * i)) & 15];
    return name;
}

bool IsTemporaryName(const std::string& name)
{
    // Letter case ignored, as the file system does.
    if (name.size() != 3 + TemporaryDigits || name[0] != '~' || (name[1] | 0x20) != 's' || (name[2] | 0x20) != 't')
        return false;
    for (std::size_t i = 3; i < name.size(); ++i)
        if (!std::isxdigit(static_cast<unsigned char>(name[i]))) return false;
    return true;
}
