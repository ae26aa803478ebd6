#include "lang/wide_string_list.h"

#include "lang/code_pages.h"
#include "lang/ml_startup.h"
#include "util/file_helpers.h"

int TWStringList::AddObjectW(const WideString& text, Object object)
{
    const int index = Count();
    InsertW(index, text, object);
    return index;
}

void TWStringList::InsertW(int index, const WideString& text, Object object)
{
    if (index < 0 || index > Count()) return;
    if (Count() == capacity_) Grow();
    items_.insert(items_.begin() + index, Entry{text, object});
}

void TWStringList::Grow()
{
    const int delta = capacity_ > 64 ? capacity_ / 4 : (capacity_ > 8 ? 16 : 4);
    capacity_ += delta;
    items_.reserve(static_cast<std::size_t>(capacity_));
}

WideString TWStringList::GetW(int index) const
{
    return Inside(index) ? items_[static_cast<std::size_t>(index)].text : WideString();
}

void TWStringList::PutW(int index, const WideString& text)
{
    if (Inside(index)) items_[static_cast<std::size_t>(index)].text = text;
}

TWStringList::Object TWStringList::ObjectAt(int index) const
{
    return Inside(index) ? items_[static_cast<std::size_t>(index)].object : nullptr;
}

void TWStringList::SetObjectAt(int index, Object object)
{
    if (Inside(index)) items_[static_cast<std::size_t>(index)].object = object;
}

void TWStringList::Delete(int index)
{
    if (Inside(index)) items_.erase(items_.begin() + index);
}

void TWStringList::Exchange(int index1, int index2)
{
    if (Inside(index1) && Inside(index2)) {
        std::swap(items_[static_cast<std::size_t>(index1)], items_[static_cast<std::size_t>(index2)]);
    }
}

void TWStringList::Move(int fromIndex, int toIndex)
{
    if (fromIndex == toIndex) return;
    const WideString text = GetW(fromIndex);
    const Object object = ObjectAt(fromIndex);
    Delete(fromIndex);
    InsertW(toIndex, text, object);
}

void TWStringList::Clear()
{
    items_ = std::vector<Entry>();
    capacity_ = 0;
}

std::string TWStringList::Get(int index) const
{
    return WideToAnsi(GetW(index), AnsiCodePage);
}

void TWStringList::Insert(int index, const std::string& text, Object object)
{
    InsertW(index, AnsiToWide(text, AnsiCodePage), object);
}

int TWStringList::Add(const std::string& text)
{
    const int index = Count();
    Insert(index, text);
    return index;
}

void TWStringList::AddStrings(const TWStringList& other)
{
    if (&other == this) {
        const TWStringList copy = other;
        AddStrings(copy);
        return;
    }
    for (const Entry& entry : other.items_) AddObjectW(entry.text, entry.object);
}

void TWStringList::AddStrings(const std::vector<std::string>& lines)
{
    for (const std::string& line : lines) Add(line);
}

void TWStringList::SetText(const std::string& text)
{
    Clear();
    if (ParseBytes(text.data(), static_cast<std::int64_t>(text.size()), TextEncoding::None, *this) !=
        ParseResult::NoMark) {
        return;
    }
    // 8-bit lines end at CR LF, CR or LF; a zero byte ends the text.
    const std::size_t end = text.find('\0');
    const std::size_t n = end == std::string::npos ? text.size() : end;
    std::size_t pos = 0;
    while (pos < n) {
        std::size_t stop = pos;
        while (stop < n && text[stop] != '\r' && text[stop] != '\n') ++stop;
        Add(text.substr(pos, stop - pos));
        pos = stop;
        if (pos < n && text[pos] == '\r') ++pos;
        if (pos < n && text[pos] == '\n') ++pos;
    }
}

void TWStringList::SetWideText(const WideString& text)
{
    Clear();
    if (text.empty()) return;
    const std::string bytes = WideToUtf16LeBytes(text);
    ParseBytes(bytes.data(), static_cast<std::int64_t>(bytes.size()), TextEncoding::Utf16LE, *this);
}

WideString TWStringList::GetWideText(bool withMark) const
{
    WideString result;
    if (items_.empty()) return result;
    if (withMark) result.push_back(u'\xFEFF');
    for (const Entry& entry : items_) {
        result += entry.text;
        result += u"\r\n";
    }
    return result;
}

ParseResult ParseBytes(const char* bytes, std::int64_t length, TextEncoding defaultEncoding, TWStringList& list)
{
    list.Clear();
    if (bytes == nullptr || length <= 0) return ParseResult::Parsed;
    std::size_t size = static_cast<std::size_t>(length);
    const ByteOrderMark mark = DetectByteOrderMark(bytes, size);
    TextEncoding encoding = mark.encoding;
    if (encoding == TextEncoding::None) {
        if (defaultEncoding == TextEncoding::None) return ParseResult::NoMark;
        encoding = defaultEncoding;
    }
    if (encoding != TextEncoding::Utf16LE) return ParseResult::Unsupported;

    const WideString text = Utf16LeBytesToWide(bytes + mark.length, size - mark.length);
    std::size_t lineStart = 0;
    std::size_t lineLength = 0;
    char16_t previousBreak = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        if (c != u'\r' && c != u'\n') {
            ++lineLength;
            previousBreak = 0;
        } else if (previousBreak != 0 && previousBreak != c) {
            // Second half of CR LF or LF CR.
            lineStart = i + 1;
            previousBreak = 0;
        } else {
            list.AddW(text.substr(lineStart, lineLength));
            lineStart = i + 1;
            lineLength = 0;
            previousBreak = c;
        }
    }
    if (lineLength > 0) list.AddW(text.substr(lineStart, lineLength));
    return ParseResult::Parsed;
}

bool LoadWideLines(const std::string& fileName, TWStringList* list)
{
    if (list == nullptr) return false;
    list->Clear();
    std::string bytes;
    if (!ReadWholeFile(fileName, bytes)) return false;
    switch (ParseBytes(bytes.data(), static_cast<std::int64_t>(bytes.size()), TextEncoding::None, *list)) {
    case ParseResult::Parsed:
        return true;
    case ParseResult::NoMark:
        list->SetText(bytes);
        return true;
    default:
        return false;
    }
}
