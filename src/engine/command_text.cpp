#include "engine/command_text.h"

#include <algorithm>

#include "util/case_key.h"
#include "util/text_compare.h"

namespace {

bool IsBlankOrControl(char c)
{
    const unsigned char u = static_cast<unsigned char>(c);
    return u >= 1 && u <= 32;
}

} // namespace

std::vector<std::string> SplitLines(const std::string& text)
{
    std::vector<std::string> lines;
    const std::size_t end = std::min(text.find('\0'), text.size());
    std::size_t start = 0;
    std::size_t i = 0;
    while (i < end) {
        const char c = text[i];
        if (c == '\r' || c == '\n') {
            lines.push_back(text.substr(start, i - start));
            i += (c == '\r' && i + 1 < end && text[i + 1] == '\n') ? 2 : 1;
            start = i;
        } else {
            ++i;
        }
    }
    if (start < end) lines.push_back(text.substr(start, end - start));
    return lines;
}

TParams SplitCommaText(const std::string& line, bool* unclosedQuote)
{
    TParams items;
    if (unclosedQuote) *unclosedQuote = false;
    // A zero byte ends the line, as it ends the script.
    const std::size_t n = std::min(line.find('\0'), line.size());
    std::size_t i = 0;
    while (i < n && IsBlankOrControl(line[i])) ++i;
    while (i < n) {
        std::string item;
        if (line[i] == '"') {
            ++i;
            bool closed = false;
            while (i < n) {
                if (line[i] == '"') {
                    if (i + 1 < n && line[i + 1] == '"') {
                        item += '"';
                        i += 2;
                        continue;
                    }
                    ++i;
                    closed = true;
                    break;
                }
                item += line[i++];
            }
            // Without a closing quote the item is the rest of the line but its last character.
            if (!closed) {
                if (!item.empty()) item.pop_back();
                if (unclosedQuote) *unclosedQuote = true;
            }
        } else {
            while (i < n && line[i] != ',' && static_cast<unsigned char>(line[i]) > 32) item += line[i++];
        }
        items.push_back(item);
        while (i < n && IsBlankOrControl(line[i])) ++i;
        if (i < n && line[i] == ',') {
            ++i;
            if (i == n) {
                items.emplace_back();
                break;
            }
            while (i < n && IsBlankOrControl(line[i])) ++i;
        }
    }
    return items;
}

std::string ParamValue(const TParams& params, const std::string& name)
{
    for (const std::string& item : params) {
        const std::size_t equals = item.find('=');
        if (equals != std::string::npos && SameTextIgnoreCaseFast(item, 0, equals, name))
            return item.substr(equals + 1);
    }
    return std::string();
}

bool HasParam(const TParams& params, const std::string& name)
{
    for (const std::string& item : params) {
        const std::size_t equals = item.find('=');
        if (equals != std::string::npos && SameTextIgnoreCase(item.substr(0, equals), name)) return true;
    }
    return false;
}

std::string QuoteItem(const std::string& item)
{
    bool needsQuotes = item.empty() ? false : item.front() == '"';
    for (char c : item)
        if (c == ',' || c == '"' || static_cast<unsigned char>(c) <= 32) needsQuotes = true;
    if (!needsQuotes) return item;
    std::string quoted = "\"";
    for (char c : item) {
        if (c == '"') quoted += '"';
        quoted += c;
    }
    quoted += '"';
    return quoted;
}

std::string JoinCommaText(const TParams& params)
{
    std::string line;
    for (std::size_t i = 0; i < params.size(); ++i) {
        if (i > 0) line += ',';
        line += QuoteItem(params[i]);
    }
    return line;
}
