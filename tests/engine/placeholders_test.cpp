#include "engine/placeholders.h"

#include <gtest/gtest.h>

#include "engine/engine_state.h"

namespace {

int ProgramsCalls = 0;
std::string FakePrograms()
{
    ++ProgramsCalls;
    return "E:\\Apps\\";
}
std::string FakeDesktop()
{
    return "C:\\Users\\Public\\Desktop";
}
std::string EmptyFolder()
{
    return std::string();
}

const TFolderLookups Lookups{&FakePrograms, &FakeDesktop, &EmptyFolder};

class PlaceholderTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetEngineState();
        ProgramsCalls = 0;
    }
    void TearDown() override { ResetEngineState(); }
};

} // namespace

TEST_F(PlaceholderTest, ReplacesFirstOccurrenceOfEachAndCollapsesBackslashes)
{
    Engine.PgmPath = "D:\\P\\";
    Engine.DataPath = "D:\\Data\\";
    Engine.MyStartMenu = "S:\\Menu\\Morvane\\";
    EXPECT_EQ(ExpandPlaceholdersUsing("*PgmPath*\\a.txt", Lookups), "D:\\P\\a.txt");
    EXPECT_EQ(ExpandPlaceholdersUsing("*PgmPath*\\x\\*PgmPath*", Lookups), "D:\\P\\x\\*PgmPath*")
        << "only the first occurrence is replaced";
    EXPECT_EQ(ExpandPlaceholdersUsing("*pgmpath*\\a", Lookups), "*pgmpath*\\a") << "placeholders are case-sensitive";
    EXPECT_EQ(ExpandPlaceholdersUsing("*Programs*\\Morvane\\", Lookups), "E:\\Apps\\Morvane\\");
    EXPECT_EQ(ExpandPlaceholdersUsing("*Desktop*\\Morvane.lnk", Lookups), "C:\\Users\\Public\\Desktop\\Morvane.lnk");
    EXPECT_EQ(ExpandPlaceholdersUsing("*StartMenu*\\Morvane\\", Lookups), "\\Morvane\\")
        << "an empty start menu disappears without a message";
    EXPECT_EQ(ExpandPlaceholdersUsing("*MyStartMenu*\\M.lnk|*DataPath*", Lookups), "S:\\Menu\\Morvane\\M.lnk|D:\\Data\\");
    EXPECT_EQ(Engine.ErrorText, "");
}

TEST_F(PlaceholderTest, LooksFoldersUpOnlyWhenNeededAndInTableOrder)
{
    ExpandPlaceholdersUsing("*PgmPath*\\a", Lookups);
    EXPECT_EQ(ProgramsCalls, 0) << "no registry lookup without its placeholder";
    ExpandPlaceholdersUsing("*Programs*\\a|*Programs*", Lookups);
    ExpandPlaceholdersUsing("*Programs*", Lookups);
    EXPECT_EQ(ProgramsCalls, 2) << "looked up once per expansion that holds it, nothing cached";
    // PgmPath is replaced after Programs, so a program folder holding "*Programs*" stays as it is.
    Engine.PgmPath = "X:\\*Programs*\\";
    EXPECT_EQ(ExpandPlaceholdersUsing("*PgmPath*", Lookups), "X:\\*Programs*\\");
}

TEST_F(PlaceholderTest, EmptyStateValuesAreRemovedAndReported)
{
    EXPECT_EQ(ExpandPlaceholdersUsing("*PgmPath*\\a.txt", Lookups), "\\a.txt");
    EXPECT_EQ(Engine.ErrorText, "no def for *PgmPath*; ");
    Engine.ErrorText.clear();
    EXPECT_EQ(ExpandPlaceholdersUsing("*DataPath*x*MyStartMenu*y*DataPath*", Lookups), "xy*DataPath*");
    EXPECT_EQ(Engine.ErrorText, "no def for *DataPath*; no def for *MyStartMenu*; ");
    Engine.ErrorText.clear();
    EXPECT_EQ(ExpandPlaceholdersUsing("C:\\plain\\path", Lookups), "C:\\plain\\path");
    EXPECT_EQ(Engine.ErrorText, "") << "no placeholder, no message";
}

TEST(CollapseDoubledBackslashes, KeepsTheLeadingPairOfNetworkPaths)
{
    EXPECT_EQ(CollapseDoubledBackslashes("\\\\server\\share\\\\x"), "\\\\server\\share\\x");
    EXPECT_EQ(CollapseDoubledBackslashes("C:\\a\\\\\\b"), "C:\\a\\b");
    EXPECT_EQ(CollapseDoubledBackslashes("\\\\\\\\x"), "\\\\\\x") << "runs from the third character on collapse";
    EXPECT_EQ(CollapseDoubledBackslashes("a\\\\\\b"), "a\\\\b") << "the second character stays as it is";
    EXPECT_EQ(CollapseDoubledBackslashes("\\"), "\\");
    EXPECT_EQ(CollapseDoubledBackslashes(""), "");
}
