#include "engine/placeholders.h"

#include <gtest/gtest.h>

#include "engine/engine_state.h"
#include "engine/folders.h"

TEST(ExpandPlaceholders, UsesTheMachinesFoldersAndTheEngineState)
{
    ResetEngineState();
    Engine.PgmPath = "D:\\P\\";
    EXPECT_EQ(ExpandPlaceholders("*Programs*\\Morvane\\"), ProgramFilesFolder() + "Morvane\\");
    EXPECT_EQ(ExpandPlaceholders("*Desktop*\\Morvane.lnk"), CommonDesktopFolder() + "\\Morvane.lnk");
    EXPECT_EQ(ExpandPlaceholders("*StartMenu*\\Morvane\\"), CommonProgramsFolder() + "\\Morvane\\");
    EXPECT_EQ(ExpandFolderPath("*PgmPath*\\Data"), "D:\\P\\Data\\");
    EXPECT_EQ(ExpandFolderPath("*PgmPath*\\Data\\"), "D:\\P\\Data\\");
    EXPECT_EQ(ExpandFolderPath("*DataPath*"), "") << "an empty result gets no backslash";
    EXPECT_EQ(Engine.ErrorText, "no def for *DataPath*; ");
    ResetEngineState();
}
