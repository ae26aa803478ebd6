#include "lang/byte_order.h"

#include "lang/code_pages.h"

namespace {

bool StartsWith(const char* bytes, std::size_t length, std::initializer_list<unsigned char> mark)
{
    if (length < mark.size()) return false;
    std::size_t i = 0;
    for (unsigned char b : mark) {
        if (static_cast<unsigned char>(bytes[i++]) != b) return false;
    }
    return true;
}

} // namespace

ByteOrderMark DetectByteOrderMark(const char* bytes, std::size_t length)
{
    if (bytes == nullptr || length < 2) return {};
    if (StartsWith(bytes, length, {0xFF, 0xFE, 0x00, 0x00})) return {TextEncoding::Utf32LE, 4};
    if (StartsWith(bytes, length, {0x00, 0x00, 0xFE, 0xFF})) return {TextEncoding::Utf32BE, 4};
    if (StartsWith(bytes, length, {0xEF, 0xBB, 0xBF})) return {TextEncoding::Utf8, 3};
    if (StartsWith(bytes, length, {0xFF, 0xFE})) return {TextEncoding::Utf16LE, 2};
    if (StartsWith(bytes, length, {0xFE, 0xFF})) return {TextEncoding::Utf16BE, 2};
    return {};
}

WideString Utf16LeBytesToWide(const char* bytes, std::size_t length)
{
    WideString text(length / 2, u'\0');
    for (std::size_t i = 0; i < text.size(); ++i) {
        text[i] = static_cast<char16_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                        (static_cast<unsigned char>(bytes[2 * i + 1]) << 8));
    }
    return text;
}

std::string WideToUtf16LeBytes(const WideString& text)
{
    std::string bytes(text.size() * 2, '\0');
    for (std::size_t i = 0; i < text.size(); ++i) {
        bytes[2 * i] = static_cast<char>(text[i] & 0xFF);
        bytes[2 * i + 1] = static_cast<char>(text[i] >> 8);
    }
    return bytes;
}

WideString BytesToWide(const std::string& bytes)
{
    if (bytes.empty()) return WideString();
    const ByteOrderMark mark = DetectByteOrderMark(bytes.data(), bytes.size());
    const char* start = bytes.data() + mark.length;
    const std::size_t length = bytes.size() - mark.length;
    switch (mark.encoding) {
    case TextEncoding::Utf8:
        return Utf8ToWide(std::string(start, length));
    case TextEncoding::None:
    case TextEncoding::Utf16LE:
        return Utf16LeBytesToWide(start, length);
    default:
        return WideString();
    }
}
