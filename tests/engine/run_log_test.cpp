// The run log's portable rules: the switch, the default file name, the
// product it is named after, and the lines the engine hands it.
#include "engine/run_log.h"

#include <gtest/gtest.h>

#include "engine/commands.h"
#include "engine/engine_state.h"

namespace {

struct TCapture : TRunLogSink {
    std::vector<std::string> Lines;
    void Write(const std::string& line) override { Lines.push_back(line); }
};

} // namespace

TEST(RunLog, SwitchNameAndProduct)
{
    std::string path = "x";
    EXPECT_FALSE(RunLogRequested({"/S", "/LOGX", "/D=C:\\LOG"}, path));
    EXPECT_TRUE(RunLogRequested({"/S", "/log"}, path));
    EXPECT_EQ(path, "") << "/LOG alone: the default name";
    EXPECT_TRUE(RunLogRequested({"/Log=C:\\My Logs\\a b.log"}, path));
    EXPECT_EQ(path, "C:\\My Logs\\a b.log");

    EXPECT_EQ(DefaultRunLogName("Morvane", 2026, 5, 4, 9, 3, 0), "Morvane-20260504-090300.log");
    EXPECT_EQ(DefaultRunLogName("A:B*C", 2026, 12, 31, 23, 59, 59), "A_B_C-20261231-235959.log");
    EXPECT_EQ(DefaultRunLogName("", 2026, 1, 1, 0, 0, 0), "Setup-20260101-000000.log");

    EXPECT_EQ(ProductOfScript({"action=save,Filename=a", "action=path,Registry=Brumo\\Morvane\\,Version=1",
                               "action=path,Registry=Other\\Name"}),
              "Morvane");
    EXPECT_EQ(ProductOfScript({"action=path,Registry=Hello"}), "Hello");
    EXPECT_EQ(ProductOfUninstallList({"UninstallKey=Hello World 2026-05-04 10.30.00", "Lng=EN"}), "Hello World");
    EXPECT_EQ(ProductOfUninstallList({"UninstallKey=Brumo.Morvane"}), "Brumo.Morvane");
}

TEST(RunLog, EngineLinesGoToTheSinkWhileOneIsSet)
{
    ResetEngineState();
    TCapture capture;
    SetRunLogSink(&capture);
    RunLogCommand("action=path,Version=1", true);
    RunLogFile("C:\\P\\a.txt", "kept");
    AddError("no file name");
    RunLogCommand("action=save", false);
    SetRunLogSink(nullptr);
    AddError("after the log");
    EXPECT_EQ(capture.Lines, (std::vector<std::string>{"ok: action=path,Version=1", "file: C:\\P\\a.txt: kept",
                                                       "error: no file name", "FAILED: action=save"}));
    ResetEngineState();
}
