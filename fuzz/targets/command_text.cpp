// The command script's text rules: lines, comma-text items, name=value lookup
// and the integer reading of the size parameters, as ExecuteCommand and
// "save" read a line; quoting and joining the items gives them back.
#include <string>

#include "engine/command_text.h"
#include "engine/extraction.h"
#include "engine/script_actions.h"
#include "engine/setup_script.h"
#include "fuzz_targets.h"
#include "util/ansi_strings.h"

int FuzzCommandText(const std::uint8_t* data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    const std::vector<std::string> lines = SplitLines(text);
    for (const std::string& line : lines) {
        FuzzCheck(line.find_first_of(std::string("\r\n\0", 3)) == std::string::npos, "a line holds no separator");
        bool unclosed = false;
        const TParams items = SplitCommaText(line, &unclosed);
        FuzzCheck(!unclosed || line.find('"') != std::string::npos, "an open quote needs a quote");
        FuzzCheck(items.size() <= line.size() + 1, "at most one item per character and one more");
        const std::string action = ParamValue(items, "action");
        FuzzCheck(action == CommandAction(line), "the dispatcher and CommandAction read the same action");
        const TScriptAction kind = ScriptActionOf(action.substr(0, 31));
        FuzzCheck((kind != TScriptAction::Unknown) == IsKnownAction(action.substr(0, 31)), "one list of actions");
        FuzzCheck(kind == TScriptAction::Unknown || action.size() <= 31, "a known action is a short word");
        for (const char* name : {"Filename", "OrigLen", "ComprLen", "pgm", "lnk", "PgmPath"}) {
            const std::string value = ParamValue(items, name);
            FuzzCheck(value.empty() || HasParam(items, name), "a value comes from a named item");
            std::int32_t number = 0;
            if (TryTextToInt(value, number)) FuzzCheck(TextToIntOrMinusOne(value) == number, "one integer reading");
        }
        FuzzCheck(LowerCaseExtension(ParamValue(items, "Filename")).size() <= ParamValue(items, "Filename").size(),
                  "an extension is part of the name");
        // Joining quotes every item so that splitting gives it back (a line
        // of one empty item is written as nothing).
        if (!(items.size() == 1 && items[0].empty()))
            FuzzCheck(SplitCommaText(JoinCommaText(items)) == items, "join and split give the items back");
    }
    // The payload cut of "save" for a size read from the input.
    if (!lines.empty()) {
        TPayload payload;
        payload.Data = text;
        const std::int32_t count = TextToIntOrMinusOne(lines.front());
        if (count > 0) {
            const std::string piece = TakePayloadPiece(payload, static_cast<std::size_t>(count));
            FuzzCheck(piece.size() <= text.size() && payload.Position <= text.size(), "a cut stays inside the payload");
        }
    }
    return 0;
}
