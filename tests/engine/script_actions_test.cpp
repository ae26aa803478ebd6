#include "engine/script_actions.h"

#include <gtest/gtest.h>

TEST(ScriptActions, ExactWordsOnly)
{
    EXPECT_EQ(ScriptActionOf("desktopini"), TScriptAction::DesktopIni);
    EXPECT_EQ(ScriptActionOf("exec"), TScriptAction::Exec);
    EXPECT_EQ(ScriptActionOf("icon"), TScriptAction::Icon);
    EXPECT_EQ(ScriptActionOf("path"), TScriptAction::Path);
    EXPECT_EQ(ScriptActionOf("save"), TScriptAction::Save);
    EXPECT_EQ(ScriptActionOf("saveifnotexists"), TScriptAction::SaveIfNotExists);
    EXPECT_EQ(ScriptActionOf("uninst"), TScriptAction::Uninst);
    for (const char* word : {"", "Save", "SAVE", "save ", "saveif", "savedir", "uninstall", "exe", "copy"}) {
        EXPECT_EQ(ScriptActionOf(word), TScriptAction::Unknown) << "\"" << word << "\"";
        EXPECT_FALSE(IsKnownAction(word)) << "\"" << word << "\"";
    }
    EXPECT_TRUE(IsKnownAction("saveifnotexists"));
}
