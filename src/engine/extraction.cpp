#include "engine/extraction.h"

#include <algorithm>

std::string TakePayloadPiece(TPayload& payload, std::size_t count)
{
    const std::size_t start = std::min(payload.Position, payload.Data.size());
    const std::size_t length = std::min(count, payload.Data.size() - start);
    payload.Position = start + length;
    return payload.Data.substr(start, length);
}

std::string LowerCaseExtension(const std::string& path)
{
    const std::size_t last = path.find_last_of(".\\:");
    if (last == std::string::npos || path[last] != '.') return std::string();
    std::string extension = path.substr(last);
    for (char& c : extension)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return extension;
}
