#include "engine/extraction.h"

#include <algorithm>

#include "container/zlib_wrapper.h"

std::string TakePayloadPiece(TPayload& payload, std::size_t count)
{
    const std::size_t start = std::min(payload.Position, payload.Data.size());
    const std::size_t fromData = std::min(count, payload.Data.size() - start);
    payload.Position = start + fromData;
    std::string piece = payload.Data.substr(start, fromData);
    if (payload.Stream && fromData < count && payload.StreamLeft > 0) {
        const std::size_t fromStream =
            static_cast<std::size_t>(std::min<std::uint64_t>(count - fromData, payload.StreamLeft));
        piece.resize(fromData + fromStream);
        const std::size_t got = payload.Stream->Read(&piece[fromData], fromStream);
        piece.resize(fromData + got);
        payload.StreamLeft = got < fromStream ? 0 : payload.StreamLeft - got;
    }
    return piece;
}

std::uint64_t PayloadBytesLeft(const TPayload& payload)
{
    const std::size_t start = std::min(payload.Position, payload.Data.size());
    return (payload.Data.size() - start) + (payload.Stream ? payload.StreamLeft : 0);
}

void DropPayload(TPayload& payload)
{
    payload.Position = payload.Data.size();
    if (payload.Stream) payload.Stream->Skip(payload.StreamLeft);
    payload.StreamLeft = 0;
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
