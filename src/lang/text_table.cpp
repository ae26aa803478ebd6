#include "lang/code_pages.h"
#include "lang/ml_startup.h"
#include "lang/ml_system.h"
#include "lang/translation.h"
#include "util/text_compare.h"

#include <algorithm>

void TMLStringList::Add255Obj(const std::string& text, std::int32_t id)
{
    std::string entry = LeftPart(text, 255);
    if (AnsiCodePage != CodePageWindows1252) {
        entry = WideToAnsi(AnsiToWide(entry, CodePageWindows1252), AnsiCodePage);
    }
    const auto pos = std::lower_bound(entries_.begin(), entries_.end(), entry,
                                      [](const std::pair<std::string, std::int32_t>& item, const std::string& key) {
                                          return CompareTextIgnoreCase(item.first, key) < 0;
                                      });
    if (pos != entries_.end() && CompareTextIgnoreCase(pos->first, entry) == 0) return;
    entries_.insert(pos, {entry, id});
}

std::string TMLStringList::GetText(std::int32_t id) const
{
    for (const auto& entry : entries_) {
        if (entry.second == id) return ResolveLineBreaks(TranslateText(entry.first));
    }
    return std::string();
}

std::string TMLStringList::GetTextFmt(std::int32_t id, const std::string& param) const
{
    std::string text = GetText(id);
    std::size_t pos = 0;
    while ((pos = text.find("%1", pos)) != std::string::npos) {
        text.replace(pos, 2, param);
        pos += param.size();
    }
    return text;
}

std::unique_ptr<TMLStringList> NewTextTable()
{
    return std::make_unique<TMLStringList>();
}
