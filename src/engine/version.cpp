#include "engine/version.h"

#include <cstring>

namespace {

std::string TrimBlanksAndControls(const std::string& text)
{
    std::size_t first = 0;
    std::size_t last = text.size();
    while (first < last && static_cast<unsigned char>(text[first]) <= 32) ++first;
    while (last > first && static_cast<unsigned char>(text[last - 1]) <= 32) --last;
    return text.substr(first, last - first);
}

// memcmp order: the first differing byte decides as unsigned; a prefix is smaller.
bool BytesGreater(const std::string& a, const std::string& b)
{
    const std::size_t common = a.size() < b.size() ? a.size() : b.size();
    const int result = std::memcmp(a.data(), b.data(), common);
    if (result != 0) return result > 0;
    return a.size() > b.size();
}

} // namespace

std::string NormalizeVersion(const std::string& text)
{
    std::string version = TrimBlanksAndControls(text);
    const std::size_t dot = version.find('.');
    if (dot == std::string::npos) return version;
    // Two digits before the first dot, so that 9.x sorts below 10.x.
    for (std::size_t position = dot + 1; position < 3; ++position) version.insert(0, 1, '0');
    while (version.size() < 5) version += '0';
    return version;
}

bool InstalledVersionTextIsNewer(const std::string& installedVersion, const std::string& setupVersion)
{
    // Texts of different shapes (2012-01 against 2013) are not comparable.
    if (setupVersion.find('.') != std::string::npos && installedVersion.find('.') == std::string::npos) return false;
    if (setupVersion.find('-') != std::string::npos && installedVersion.find('-') == std::string::npos) return false;
    return BytesGreater(NormalizeVersion(installedVersion), NormalizeVersion(setupVersion));
}
