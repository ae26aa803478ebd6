#include "engine/extraction.h"

#include <algorithm>

#include "container/zlib_wrapper.h"
#include "util/ansi_strings.h"

std::string TakePayloadPiece(TPayload& payload, std::size_t count)
{
    std::string piece(static_cast<std::size_t>(std::min<std::uint64_t>(count, PayloadBytesLeft(payload))), '\0');
    piece.resize(TakePayloadPieceInto(payload, &piece[0], piece.size()));
    return piece;
}

TPieceRequest PieceRequestOf(const TParams& params)
{
    TPieceRequest request;
    request.OrigLen = TextToIntOrMinusOne(ParamValue(params, "OrigLen"));
    const std::string comprText = ParamValue(params, "ComprLen");
    request.Compressed = !comprText.empty();
    if (request.Compressed) request.ComprLen = TextToIntOrMinusOne(comprText);
    return request;
}

const char* PieceRequestError(const TPieceRequest& request, TPayload& payload)
{
    if (request.OrigLen <= 0) return "OrigLen is 0 in ";
    if (request.Compressed && request.ComprLen <= 0) return "ComprLen is 0 in ";
    if (PayloadBytesLeft(payload) < request.Length()) {
        DropPayload(payload); // what is left is consumed, and not held for nothing
        return "data error in ";
    }
    return nullptr;
}

TCutPiece CutPiece(const TParams& params, TPayload& payload)
{
    TCutPiece cut;
    const TPieceRequest request = PieceRequestOf(params);
    if (const char* error = PieceRequestError(request, payload)) {
        cut.ErrorStart = error;
        return cut;
    }
    cut.Piece = TakePayloadPiece(payload, request.Length());
    if (cut.Piece.size() < request.Length()) {
        cut.Piece.clear();
        cut.ErrorStart = "data error in ";
        return cut;
    }
    if (!request.Compressed) return cut;
    cut.Piece = DecompressString(cut.Piece, static_cast<std::size_t>(request.OrigLen));
    if (cut.Piece.empty()) cut.ErrorStart = "decompress error in ";
    return cut;
}

std::size_t TakePayloadPieceInto(TPayload& payload, char* out, std::size_t count)
{
    const std::size_t start = std::min(payload.Position, payload.Data.size());
    const std::size_t fromData = std::min(count, payload.Data.size() - start);
    std::copy_n(payload.Data.data() + start, fromData, out);
    payload.Position = start + fromData;
    std::size_t done = fromData;
    if (payload.Stream && done < count && payload.StreamLeft > 0) {
        const std::size_t fromStream =
            static_cast<std::size_t>(std::min<std::uint64_t>(count - done, payload.StreamLeft));
        const std::size_t got = payload.Stream->Read(out + done, fromStream);
        payload.StreamLeft = got < fromStream ? 0 : payload.StreamLeft - got;
        done += got;
    }
    return done;
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
