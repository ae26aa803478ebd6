#include "engine/language_text_scan.h"

#include <algorithm>

namespace {

std::u16string Utf8ToUtf16(const std::string& bytes, std::size_t start)
{
    std::u16string text;
    std::size_t i = start;
    while (i < bytes.size()) {
        const unsigned char lead = static_cast<unsigned char>(bytes[i]);
        int extra = lead < 0x80 ? 0 : (lead >> 5) == 6 ? 1 : (lead >> 4) == 14 ? 2 : (lead >> 3) == 30 ? 3 : -1;
        if (extra < 0 || i + static_cast<std::size_t>(extra) >= bytes.size()) {
            text += u'\xFFFD';
            ++i;
            continue;
        }
        char32_t code = extra == 0 ? lead : lead & (0x3F >> extra);
        bool valid = true;
        for (int k = 1; k <= extra; ++k) {
            const unsigned char next = static_cast<unsigned char>(bytes[i + static_cast<std::size_t>(k)]);
            if ((next & 0xC0) != 0x80) valid = false;
            code = (code << 6) | (next & 0x3F);
        }
        if (!valid) {
            text += u'\xFFFD';
            ++i;
            continue;
        }
        i += static_cast<std::size_t>(extra) + 1;
        if (code >= 0x10000) {
            code -= 0x10000;
            text += static_cast<char16_t>(0xD800 + (code >> 10));
            text += static_cast<char16_t>(0xDC00 + (code & 0x3FF));
        } else {
            text += static_cast<char16_t>(code);
        }
    }
    return text;
}

std::u16string DecodeLanguageBytes(const std::string& bytes)
{
    const auto byteAt = [&](std::size_t i) { return i < bytes.size() ? static_cast<unsigned char>(bytes[i]) : 0x100u; };
    if (byteAt(0) == 0xEF && byteAt(1) == 0xBB && byteAt(2) == 0xBF) return Utf8ToUtf16(bytes, 3);
    if (byteAt(0) == 0xFE && byteAt(1) == 0xFF) return std::u16string();
    if (byteAt(0) == 0x00 && byteAt(1) == 0x00 && byteAt(2) == 0xFE && byteAt(3) == 0xFF) return std::u16string();
    if (byteAt(0) == 0xFF && byteAt(1) == 0xFE && byteAt(2) == 0x00 && byteAt(3) == 0x00) return std::u16string();
    const std::size_t start = (byteAt(0) == 0xFF && byteAt(1) == 0xFE) ? 2 : 0;
    std::u16string text;
    for (std::size_t i = start; i + 1 < bytes.size(); i += 2)
        text += static_cast<char16_t>(byteAt(i) | (byteAt(i + 1) << 8));
    return text;
}

std::u16string Trimmed(const std::u16string& line)
{
    std::size_t first = 0;
    std::size_t last = line.size();
    while (first < last && line[first] <= 32) ++first;
    while (last > first && line[last - 1] <= 32) --last;
    return line.substr(first, last - first);
}

// The language code of a language line, or empty for any other line.
std::string CodeOfLine(const std::u16string& line)
{
    if (line.empty() || line[0] == u'/') return std::string();
    const std::size_t equals = line.find(u'=');
    if (equals == std::u16string::npos) return std::string();
    const std::u16string key = Trimmed(line.substr(0, equals)).substr(0, 15);
    std::string letters;
    std::size_t i = 0;
    for (; i < key.size(); ++i) {
        char16_t c = key[i];
        if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - u'a' + u'A');
        if (c < u'A' || c > u'Z') break;
        letters += static_cast<char>(c);
    }
    // A key with a numeric id behind the letters ("DE12") still names its language.
    if (i < key.size()) {
        long id = 0;
        for (std::size_t k = i; k < key.size(); ++k) {
            if (key[k] < u'0' || key[k] > u'9') return std::string();
            id = std::min(id * 10 + (key[k] - u'0'), 1000000000L);
        }
        if (id < 1) return std::string();
    }
    if (letters.size() < 2) return std::string();
    return letters.substr(0, 3);
}

std::u16string ValueOfLine(const std::u16string& line)
{
    return Trimmed(line.substr(line.find(u'=') + 1));
}

} // namespace

std::vector<std::u16string> LanguageTextLines(const std::string& bytes)
{
    const std::u16string text = DecodeLanguageBytes(bytes);
    std::vector<std::u16string> lines;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= text.size(); ++i) {
        if (i == text.size() || text[i] == u'\r' || text[i] == u'\n') {
            if (i < text.size() || start < i) lines.push_back(Trimmed(text.substr(start, i - start)));
            if (i + 1 < text.size() && text[i] == u'\r' && text[i + 1] == u'\n') ++i;
            start = i + 1;
        }
    }
    return lines;
}

std::vector<std::string> LanguageCodesOfText(const std::string& bytes)
{
    std::vector<std::string> codes;
    for (const std::u16string& line : LanguageTextLines(bytes)) {
        const std::string code = CodeOfLine(line);
        if (!code.empty() && std::find(codes.begin(), codes.end(), code) == codes.end()) codes.push_back(code);
    }
    return codes;
}

std::u16string TranslateByGermanText(const std::string& bytes, const std::string& german, const std::string& code)
{
    const std::u16string wanted(german.begin(), german.end());
    std::u16string germanLine;
    std::u16string codeLine;
    const auto blockMatches = [&] { return germanLine == wanted && !codeLine.empty(); };
    for (const std::u16string& line : LanguageTextLines(bytes)) {
        if (line.empty()) {
            if (blockMatches()) return codeLine;
            germanLine.clear();
            codeLine.clear();
            continue;
        }
        const std::string lineCode = CodeOfLine(line);
        if (lineCode == "DE") germanLine = ValueOfLine(line);
        if (!lineCode.empty() && lineCode == code) codeLine = ValueOfLine(line);
    }
    return blockMatches() ? codeLine : std::u16string();
}
