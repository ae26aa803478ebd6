// The exit codes: the first failure decides, and the tables of README.md and
// docs/package-reference.md say exactly what the code's table says.
#include "engine/exit_codes.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>

#include "engine/commands.h"
#include "engine/engine_state.h"
#include "engine/run_log.h"
#include "support/test_support.h"

namespace {

// The rows "| code | meaning | winget |" of the first table after heading.
std::vector<std::string> DocumentedRows(const std::string& file, const std::string& heading)
{
    const std::string text = ReadTestFile(file);
    std::size_t at = text.find("\n" + heading + "\n");
    if (at == std::string::npos) return {"no heading " + heading};
    at = text.find("\n| code | meaning |", at);
    if (at == std::string::npos) return {"no table after " + heading};
    std::vector<std::string> rows;
    std::istringstream lines(text.substr(at + 1));
    std::string line;
    std::getline(lines, line); // the header
    std::getline(lines, line); // |---|
    while (std::getline(lines, line) && line.rfind("|", 0) == 0) rows.push_back(line);
    return rows;
}

std::vector<std::string> CodeRows()
{
    std::vector<std::string> rows;
    for (std::size_t i = 0; i < ExitCodeCount; ++i) {
        const std::string name = *ExitCodeTable[i].WingetResult ? std::string("`") + ExitCodeTable[i].WingetResult + "`" : "";
        rows.push_back("| " + std::to_string(ExitCodeTable[i].Code) + " | " + ExitCodeTable[i].Meaning + " | " + name +
                       " |");
    }
    return rows;
}

} // namespace

TEST(ExitCodes, TheDocumentedTablesAreTheCodesTable)
{
    const char* source = std::getenv("SETUP_SOURCE_DIR");
    if (!source) GTEST_SKIP() << "SETUP_SOURCE_DIR not set";
    EXPECT_EQ(DocumentedRows(std::string(source) + "/README.md", "### Exit codes"), CodeRows());
    EXPECT_EQ(DocumentedRows(std::string(source) + "/docs/package-reference.md", "## Switches and exit codes"), CodeRows());
}

TEST(ExitCodes, TheFirstFailureDecides)
{
    ResetEngineState();
    EXPECT_EQ(FirstFailureCode(), UnattendedSuccess);
    EXPECT_EQ(FailureExitCode(), UnattendedScriptErrors) << "a failure known only by its text";
    EXPECT_EQ(ExitCodeOfWin32Error(112), UnattendedDiskFull);
    EXPECT_EQ(ExitCodeOfWin32Error(39), UnattendedDiskFull);
    EXPECT_EQ(ExitCodeOfWin32Error(32), UnattendedFileInUse);
    EXPECT_EQ(ExitCodeOfWin32Error(33), UnattendedFileInUse);
    EXPECT_EQ(ExitCodeOfWin32Error(5), UnattendedScriptErrors);

    NoteWriteFailure("C:\\P\\a.dat", 112);
    AddError("Write Error: C:\\P\\a.dat");
    NoteWriteFailure("C:\\P\\b.dat", 32);
    EXPECT_EQ(FailureExitCode(), UnattendedDiskFull);

    ResetEngineState();
    AddError("no file name");
    NoteWriteFailure("C:\\P\\a.dat", 112);
    EXPECT_EQ(FailureExitCode(), UnattendedScriptErrors) << "an unclassified first error wins too";
    ResetEngineState();
}
