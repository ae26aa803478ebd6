// The demo product's package description: the command shapes an installer of
// the product needs, and source files that exist.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "engine/command_text.h"
#include "mksetup/script_rules.h"
#include "support/test_support.h"

TEST(DemoPackage, HasTheProductsCommandShapesAndItsSourcesExist)
{
    const char* source = std::getenv("SETUP_SOURCE_DIR");
    if (!source) GTEST_SKIP() << "SETUP_SOURCE_DIR not set";
    const std::filesystem::path folder = std::filesystem::path(source) / "examples" / "morvane";
    const std::vector<std::string> lines = SplitLines(ReadTestFile((folder / "morvane.pkg").string()));
    ASSERT_FALSE(lines.empty());

    int icons = 0, desktopInis = 0, uninsts = 0, execs = 0, keptData = 0;
    std::string firstSaved;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        bool unclosedQuote = false;
        const TParams items = SplitCommaText(lines[i], &unclosedQuote);
        const std::string action = ParamValue(items, "action");
        EXPECT_FALSE(unclosedQuote) << "line " << i + 1;
        EXPECT_TRUE(ItemsWithoutName(items).empty()) << "line " << i + 1 << ": " << lines[i];
        if (i == 0) {
            EXPECT_EQ(action, "path");
            EXPECT_EQ(ParamValue(items, "Registry"), "Brumo\\Morvane");
            EXPECT_EQ(ParamValue(items, "PgmPath"), "*Programs*\\Morvane\\");
            EXPECT_EQ(ParamValue(items, "MyStartMenu"), "*StartMenu*\\Morvane\\");
            continue;
        }
        EXPECT_TRUE(IsKnownAction(action) || action == "savedir") << "line " << i + 1 << ": " << action;
        if (action == "save" || action == "saveifnotexists" || action == "savedir") {
            EXPECT_EQ(uninsts, 0) << "files come before the uninst line";
            if (firstSaved.empty()) firstSaved = ParamValue(items, "Filename");
            std::string path = ParamValue(items, "Source");
            for (char& c : path)
                if (c == '\\') c = '/';
            // The programs are build outputs; the other sources are part of the package.
            if (path.find("dist/") == std::string::npos) {
                EXPECT_TRUE(std::filesystem::exists(folder / path)) << "line " << i + 1 << ": " << path;
            }
        }
        if (action == "saveifnotexists") {
            const std::string name = ParamValue(items, "Filename");
            const std::string extension = name.substr(name.find_last_of('.'));
            EXPECT_TRUE(extension == ".ada" || extension == ".alg" || extension == ".bdb") << name;
            ++keptData;
        }
        icons += action == "icon";
        desktopInis += action == "desktopini";
        uninsts += action == "uninst";
        if (action == "exec") {
            ++execs;
            EXPECT_EQ(ParamValue(items, "params"), "aftersetup");
            EXPECT_EQ(i + 1, lines.size()) << "exec is the last line";
        }
        if (action == "desktopini") {
            EXPECT_EQ(icons, 3) << "desktopini follows the shortcuts";
        }
    }
    EXPECT_EQ(firstSaved, "*PgmPath*\\Morvane.exe") << "the main program is the first file saved";
    EXPECT_EQ(icons, 3);
    EXPECT_EQ(desktopInis, 1);
    EXPECT_EQ(uninsts, 1);
    EXPECT_EQ(execs, 1);
    EXPECT_EQ(keptData, 3);
}
