#include "engine/command_line.h"

#include <gtest/gtest.h>

#include "engine/engine_state.h"

TEST(CommandLine, UninstallModeFromFileNameOrArgument)
{
    ResetEngineState();
    ApplyCommandLine("C:\\P\\Uninstall.EXE", {});
    EXPECT_TRUE(Engine.UninstallMode) << "the file name decides in any letter case";
    EXPECT_TRUE(Engine.CommandLineParams.empty());

    ApplyCommandLine("D:\\setup.exe", {"/UNINST", "UninstallKey=Morvane 2012-01-31 14.05.09"});
    EXPECT_TRUE(Engine.UninstallMode);
    EXPECT_EQ(Engine.CommandLineParams,
              (std::vector<std::string>{"/UNINST", "UninstallKey=Morvane 2012-01-31 14.05.09"}))
        << "arguments are kept unchanged and a second call replaces the first";

    ApplyCommandLine("D:\\setup.exe", {"/uninstall", "-uninst", "uninst"});
    EXPECT_FALSE(Engine.UninstallMode) << "only the exact argument /uninst counts";

    ApplyCommandLine("D:\\uninstall.exe.bak", {});
    EXPECT_FALSE(Engine.UninstallMode);
    ApplyCommandLine("D:\\uninstall.exe\\setup.exe", {});
    EXPECT_FALSE(Engine.UninstallMode) << "only the file-name part counts";
}
