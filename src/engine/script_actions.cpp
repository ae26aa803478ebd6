#include "engine/script_actions.h"

namespace {

struct TActionWord {
    const char* Word;
    TScriptAction Action;
};

const TActionWord ActionWords[] = {
    {"desktopini", TScriptAction::DesktopIni},
    {"exec", TScriptAction::Exec},
    {"icon", TScriptAction::Icon},
    {"path", TScriptAction::Path},
    {"save", TScriptAction::Save},
    {"saveifnotexists", TScriptAction::SaveIfNotExists},
    {"uninst", TScriptAction::Uninst},
};

} // namespace

TScriptAction ScriptActionOf(const std::string& action)
{
    for (const TActionWord& known : ActionWords)
        if (action == known.Word) return known.Action;
    return TScriptAction::Unknown;
}

bool IsKnownAction(const std::string& action)
{
    return ScriptActionOf(action) != TScriptAction::Unknown;
}
