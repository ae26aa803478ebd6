// The package author's reference shows the example package whole: its code
// blocks must be the files of examples/hello, and the command script it shows
// must be what the packer makes of them.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <set>
#include <sstream>

#include "mksetup/installer_reader.h"
#include "mksetup/tool_commands.h"
#include "mksetup/tool_error.h"
#include "package_reference_blocks.h"
#include "pe_stub.h"
#include "support/test_support.h"

namespace fs = std::filesystem;

TEST(PackageReference, ShowsEveryExampleFileAsItIs)
{
    const char* source = std::getenv("SETUP_SOURCE_DIR");
    if (!source) GTEST_SKIP() << "SETUP_SOURCE_DIR not set";
    const fs::path root(source);
    const std::string doc = ReadTestFile((root / ReferenceDocument).string());
    ASSERT_FALSE(doc.empty()) << ReferenceDocument;

    std::set<std::string> shown;
    for (const auto& [path, text] : MarkedBlocks(doc, "example-file")) {
        shown.insert(path);
        EXPECT_EQ(text, ReadTestFile((root / path).string())) << path << " differs from its block in the reference";
    }
    std::set<std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(root / "examples" / "hello"))
        if (entry.is_regular_file()) files.insert(entry.path().lexically_relative(root).generic_string());
    EXPECT_EQ(shown, files) << "every file of the example, and nothing else, is shown";
}

TEST(PackageReference, ShowsThePackedScript)
{
    const char* source = std::getenv("SETUP_SOURCE_DIR");
    if (!source) GTEST_SKIP() << "SETUP_SOURCE_DIR not set";
    const fs::path root(source);
    const auto blocks = MarkedBlocks(ReadTestFile((root / ReferenceDocument).string()), "output");
    ASSERT_EQ(blocks.count("mksetup script"), 1u);

    TempDir dir;
    WriteTestFile(dir.File("Setup.exe"), PeStub());
    std::ostringstream out, err;
    ASSERT_EQ(RunTool({"build", (root / "examples/hello/hello.pkg").string(), "-o", dir.File("Setup-Hello.exe"),
                       "--stub", dir.File("Setup.exe"), "--quiet"},
                      out, err, false),
              ExitOk)
        << err.str();
    EXPECT_EQ(err.str(), "") << "the example packs without warnings";
    std::string script = InstallerScript(OpenInstaller(dir.File("Setup-Hello.exe")));
    // The reference shows lines, not the CR LF the packer ends them with.
    std::string shown;
    for (char c : script)
        if (c != '\r') shown += c;
    EXPECT_EQ(shown, blocks.at("mksetup script"));
}
