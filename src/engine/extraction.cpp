#include "engine/extraction.h"

#include <algorithm>

#include "container/zlib_wrapper.h"
#include "util/ansi_strings.h"

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

TCutPiece CutPiece(const TParams& params, TPayload& payload)
{
    TCutPiece cut;
    const std::int32_t origLen = TextToIntOrMinusOne(ParamValue(params, "OrigLen"));
    if (origLen <= 0) {
        cut.ErrorStart = "OrigLen is 0 in ";
        return cut;
    }
    const std::string comprText = ParamValue(params, "ComprLen");
    std::int32_t length = origLen;
    if (!comprText.empty()) {
        length = TextToIntOrMinusOne(comprText);
        if (length <= 0) {
            cut.ErrorStart = "ComprLen is 0 in ";
            return cut;
        }
    }
    if (PayloadBytesLeft(payload) < static_cast<std::uint64_t>(length)) {
        DropPayload(payload); // what is left is consumed, and not held for nothing
        cut.ErrorStart = "data error in ";
        return cut;
    }
    cut.Piece = TakePayloadPiece(payload, static_cast<std::size_t>(length));
    if (cut.Piece.size() < static_cast<std::size_t>(length)) {
        cut.Piece.clear();
        cut.ErrorStart = "data error in ";
        return cut;
    }
    if (comprText.empty()) return cut;
    cut.Piece = DecompressString(cut.Piece, static_cast<std::size_t>(origLen));
    if (cut.Piece.empty()) cut.ErrorStart = "decompress error in ";
    return cut;
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
