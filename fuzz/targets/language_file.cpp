// The language file loader: the section's bytes as start-up reads them
// (BytesToWide, then the lines), and a file's bytes as LoadWideLines reads
// them (ParseBytes, 8-bit text without a mark), each loaded with LoadFromLines
// and exported again.
#include <string>

#include "fuzz_targets.h"
#include "lang/byte_order.h"
#include "lang/ml_system.h"
#include "lang/wide_string_list.h"

namespace {

void CheckSystem(const tMLSystem& system)
{
    for (const auto& group : system.Groups) {
        FuzzCheck(group->Texts.size() <= system.Languages.size(), "texts only for known languages");
        if (group->Lines) FuzzCheck(group->Lines->Count() <= static_cast<int>(system.Languages.size()),
                                    "lines only for known languages");
    }
    for (const auto& language : system.Languages) FuzzCheck(language->Code.size() <= 3, "codes of at most 3 characters");
}

} // namespace

int FuzzLanguageFile(const std::uint8_t* data, std::size_t size)
{
    if (size == 0) return 0;
    const bool keepLines = (data[0] & 1) != 0;
    const std::string bytes(reinterpret_cast<const char*>(data) + 1, size - 1);

    tMLSystem system("DE");
    LoadFromWideText(system, BytesToWide(bytes), keepLines);
    CheckSystem(system);
    if (keepLines) {
        // The export loads again without a fault and keeps the number of texts it wrote.
        const WideString exported = ExportText(system);
        tMLSystem reloaded("DE");
        LoadFromWideText(reloaded, exported, true);
        CheckSystem(reloaded);
        FuzzCheck(reloaded.Groups.size() <= system.Groups.size(), "the export adds no blocks");
    }

    TWStringList lines;
    const ParseResult result = ParseBytes(bytes.data(), static_cast<std::int64_t>(bytes.size()), TextEncoding::None, lines);
    if (result == ParseResult::NoMark) lines.SetText(bytes);
    if (result == ParseResult::Unsupported) FuzzCheck(lines.Count() == 0, "an unsupported mark leaves no lines");
    system.LoadFromLines(lines, keepLines);
    CheckSystem(system);
    // Lookups over what was loaded.
    if (!system.Groups.empty()) {
        const tMLGroup& first = *system.Groups.front();
        for (std::size_t i = 0; i < first.Texts.size(); ++i) {
            system.Translate(first.Texts[i], system.Languages[i]->Code, "EN");
            system.TranslateHint(first.Texts[i] + "|x", system.Languages[i]->Code, "DE");
        }
        system.GetTextById(first.Id);
    }
    return 0;
}
