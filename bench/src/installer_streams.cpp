#include "installer_streams.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>

namespace {

std::uint64_t ParsePositive(const std::string& text, bool& ok)
{
    ok = !text.empty();
    std::uint64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9' || value > (1ull << 40)) {
            ok = false;
            return 0;
        }
        value = value * 10 + static_cast<unsigned>(c - '0');
    }
    ok = ok && value > 0;
    return value;
}

// The value of an unquoted item name=value of a line (the packer writes the
// sizes unquoted, right behind the action).
bool ItemValue(const std::string& line, const std::string& name, std::string& value)
{
    std::size_t start = 0;
    while (start <= line.size()) {
        std::size_t end = line.find(',', start);
        if (end == std::string::npos) end = line.size();
        const std::string item = line.substr(start, end - start);
        if (item.compare(0, name.size() + 1, name + "=") == 0) {
            value = item.substr(name.size() + 1);
            return true;
        }
        start = end + 1;
    }
    return false;
}

} // namespace

bool FindNamedSection(const std::string& file, const std::string& name, std::string& data)
{
    std::string marker(1, '\xF7');
    for (char c : name) marker += static_cast<char>(c ^ 0x55);
    marker += '\xF7';
    const std::size_t at = file.find(marker);
    if (at == std::string::npos || file.size() - at - marker.size() < 4) return false;
    const unsigned char* size = reinterpret_cast<const unsigned char*>(file.data() + at + marker.size());
    const std::uint32_t length = size[0] | (size[1] << 8) | (size[2] << 16) | (static_cast<std::uint32_t>(size[3]) << 24);
    const std::size_t begin = at + marker.size() + 4;
    if (length > 0x7FFFFFFFu || file.size() - begin < length) return false;
    data = file.substr(begin, length);
    return true;
}

bool ScriptPieces(const std::string& script, std::vector<TPiece>& pieces, std::string& message)
{
    pieces.clear();
    std::size_t start = 0, lineNumber = 0;
    while (start < script.size()) {
        std::size_t end = script.find_first_of("\r\n", start);
        if (end == std::string::npos) end = script.size();
        const std::string line = script.substr(start, end - start);
        start = end + 1;
        if (end < script.size() && script[end] == '\r' && start < script.size() && script[start] == '\n') ++start;
        ++lineNumber;
        std::string action;
        if (!ItemValue(line, "action", action) || (action != "save" && action != "saveifnotexists")) continue;
        std::string orig, compr;
        bool ok = ItemValue(line, "OrigLen", orig);
        TPiece piece;
        piece.OrigLen = ok ? ParsePositive(orig, ok) : 0;
        if (ok && ItemValue(line, "ComprLen", compr)) piece.ComprLen = ParsePositive(compr, ok);
        if (!ok) {
            message = "line " + std::to_string(lineNumber) + " has no usable OrigLen/ComprLen: " + line;
            return false;
        }
        pieces.push_back(piece);
    }
    return true;
}

bool InflateWhole(const char* data, std::size_t size, std::size_t expectedSize, std::string& out)
{
    out.clear();
    out.resize(expectedSize > 0 ? expectedSize : size * 2 + 64);
    z_stream stream;
    std::memset(&stream, 0, sizeof stream);
    if (inflateInit(&stream) != Z_OK) return false;
        int result = Z_OK;
    std::size_t produced = 0;
    std::size_t consumed = 0;
    while (result == Z_OK) {
        if (produced == out.size()) out.resize(out.size() * 2);
        const std::size_t inChunk = std::min<std::size_t>(size - consumed, 1u << 30);
        const std::size_t outChunk = std::min<std::size_t>(out.size() - produced, 1u << 30);
        stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data + consumed));
        stream.avail_in = static_cast<uInt>(inChunk);
        stream.next_out = reinterpret_cast<Bytef*>(&out[produced]);
        stream.avail_out = static_cast<uInt>(outChunk);
        result = inflate(&stream, Z_NO_FLUSH);
        consumed += inChunk - stream.avail_in;
        produced += outChunk - stream.avail_out;
        if (result == Z_BUF_ERROR && stream.avail_out > 0) break; // input ended early
        if (result == Z_BUF_ERROR) result = Z_OK;
    }
    inflateEnd(&stream);
    out.resize(produced);
    return result == Z_STREAM_END && consumed == size;
}
