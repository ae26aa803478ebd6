#include "lang/ml_system.h"

#include "lang/code_pages.h"
#include "lang/ml_startup.h"
#include "lang/text_trim.h"
#include "util/text_compare.h"

namespace {

std::string AsciiUpper(std::string text)
{
    for (char& c : text) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
    }
    return text;
}

bool IsCapital(char c)
{
    return c >= 'A' && c <= 'Z';
}

} // namespace

tLngInfo::tLngInfo(tMLSystem* system, const LngCode& code)
    : Code(CutLngCode(code)), NormCode(NormalizeLngCode(code)), System(system)
{
}

// ---- tMLGroup --------------------------------------------------------------

std::string tMLGroup::GetTextByIndex(int index) const
{
    if (index < 0 || static_cast<std::size_t>(index) >= Texts.size()) return std::string();
    return Texts[static_cast<std::size_t>(index)];
}

std::string tMLGroup::GetTextByCode(const LngCode& code) const
{
    return GetTextByIndex(System->IndexOfLanguage(code));
}

void tMLGroup::ReadIdFromComment(const std::string& line)
{
    // The items start behind "// ": a comment written "//ID=2;" loses its 'I' here.
    std::string items = WithoutLeft(line, 3);
    while (!items.empty()) {
        const std::string item = SplitOffFirstItem(items);
        const std::size_t equals = item.find('=');
        if (equals == std::string::npos || !SameTextIgnoreCase(item.substr(0, equals), "ID")) continue;
        std::int32_t value = 0;
        if (TryTextToInt(item.substr(equals + 1), value) && value > 0) {
            Id = value;
            return;
        }
    }
}

bool tMLGroup::ParseBlock(const TWStringList& lines, int& pos, bool keepLines)
{
    Id = 0;
    Lines.reset();
    Texts.clear();
    Comment.clear();

    const int n = lines.Count();
    while (pos < n && TrimText(WideToAnsi(lines.GetW(pos), AnsiCodePage)).empty()) ++pos;
    if (pos >= n) return false;
    if (keepLines) Lines = std::make_unique<TWStringList>();

    int stored = 0;
    while (pos < n) {
        const WideString w = TrimText(lines.GetW(pos));
        ++pos;
        const std::string s = WideToAnsi(w, AnsiCodePage);
        if (s.empty()) break;

        std::size_t sep;  // 0-based position of the separator
        if (s[0] == '/') {
            sep = 2;
        } else {
            sep = s.find('=');
            if (sep == std::string::npos) continue;
        }
        std::string key = LeftPart(AsciiUpper(TrimText(s.substr(0, sep))), 15);
        const std::string value = TrimText(sep < s.size() ? s.substr(sep + 1) : std::string());

        if (key == "//") {
            Comment = w;
            ReadIdFromComment(s);
            continue;
        }
        std::size_t k = 0;
        while (k < key.size() && IsCapital(key[k])) ++k;
        if (k < key.size()) {
            Id = TextToIntOrMinusOne(key.substr(k));
            key.resize(k);
            if (Id < 1) continue;
        }
        if (!IsLngCode(key)) continue;

        const std::size_t i = static_cast<std::size_t>(System->AddLanguage(key));
        if (Texts.size() < i + 1) Texts.resize(i + 1);
        Texts[i] = value;
        if (keepLines) {
            while (Lines->Count() < static_cast<int>(i) + 1) Lines->AddW(WideString());
            Lines->PutW(static_cast<int>(i), w);
        }
        ++stored;
    }
    return stored > 0;
}

// ---- tMLSystem -------------------------------------------------------------

tMLSystem::tMLSystem(const LngCode& baseLng)
    : BaseLng(CutLngCode(baseLng)), CurrentLng(CutLngCode(baseLng)), FallbackLng("EN")
{
}

int tMLSystem::IndexOfLanguage(const LngCode& code) const
{
    const LngCode cut = CutLngCode(code);
    for (std::size_t i = 0; i < Languages.size(); ++i) {
        if (Languages[i]->Code == cut) return static_cast<int>(i);
    }
    return -1;
}

int tMLSystem::AddLanguage(const LngCode& code)
{
    const int index = IndexOfLanguage(code);
    if (index >= 0) return index;
    Languages.push_back(std::make_unique<tLngInfo>(this, code));
    return static_cast<int>(Languages.size()) - 1;
}

void tMLSystem::ClearAll()
{
    Groups.clear();
    Languages.clear();
}

void tMLSystem::LoadFromLines(const TWStringList& lines, bool keepLines)
{
    int pos = 0;
    const int n = lines.Count();
    ClearAll();
    while (pos < n) {
        auto group = std::make_unique<tMLGroup>(this);
        if (group->ParseBlock(lines, pos, keepLines)) Groups.push_back(std::move(group));
    }
}

bool tMLSystem::LoadFromFile(const std::string& fileName, bool keepLines)
{
    TWStringList lines;
    if (!LoadWideLines(fileName, &lines)) return false;
    LoadFromLines(lines, keepLines);
    return true;
}

std::unique_ptr<TWStringList> tMLSystem::BuildLines() const
{
    auto result = std::make_unique<TWStringList>();
    for (const auto& group : Groups) {
        if (!group->Lines) continue;
        int written = 0;
        for (int j = 0; j < static_cast<int>(Languages.size()); ++j) {
            if (group->GetTextByIndex(j).empty() || TrimText(group->Lines->GetW(j)).empty()) continue;
            if (written == 0 && !group->Comment.empty()) result->AddW(group->Comment);
            result->AddW(group->Lines->GetW(j));
            ++written;
        }
        if (written > 0) result->AddW(WideString());
    }
    return result;
}

// ---- module entry points ---------------------------------------------------

void LoadFromWideText(tMLSystem& system, const WideString& text, bool keepLines)
{
    TWStringList lines;
    lines.SetWideText(text);
    system.LoadFromLines(lines, keepLines);
}

void LoadFromWideText(const WideString& text, bool keepLines)
{
    EnsureMLSystem();
    LoadFromWideText(*MLSystem, text, keepLines);
}

bool LoadLngFile(const std::string& fileName, bool keepLines)
{
    EnsureMLSystem();
    return MLSystem->LoadFromFile(fileName, keepLines);
}

WideString ExportText(const tMLSystem& system)
{
    return system.BuildLines()->GetWideText(true);
}
