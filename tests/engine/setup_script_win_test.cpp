#include "engine/setup_script.h"

#include <windows.h>

#include <gtest/gtest.h>

#include "container/sections.h"
#include "container/zlib_wrapper.h"
#include "engine/engine_state.h"
#include "support/test_support.h"
#include "util/exception.h"
#include "util/win_handles.h"

namespace {

bool FileExists(const std::string& path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string LogText()
{
    return FileExists(LogFileName) ? ReadTestFile(LogFileName) : std::string("<no log>");
}

// A test registry key of the product, in the 32-bit view of HKEY_LOCAL_MACHINE.
const char* const TestProductKey = "SOFTWARE\\SetupEngineScriptTest";

std::string ReadTestProductValue(const char* name)
{
    RegKey key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, TestProductKey, 0, KEY_READ | KEY_WOW64_32KEY, key.receive()) !=
        ERROR_SUCCESS)
        return "<none>";
    char buffer[1024] = {};
    DWORD size = sizeof(buffer) - 1;
    DWORD type = 0;
    if (RegQueryValueExA(key.get(), name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size) != ERROR_SUCCESS ||
        type != REG_SZ)
        return "<none>";
    return buffer;
}

class SetupScriptTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetEngineState();
        Engine.QuietErrors = true;
        Engine.PgmPath = dir_.Path().string() + "\\";
        DeleteFileA(LogFileName);
        RegDeleteKeyExA(HKEY_LOCAL_MACHINE, TestProductKey, KEY_WOW64_32KEY, 0);
    }
    void TearDown() override
    {
        UseSectionsFile("");
        ResetEngineState();
        DeleteFileA(LogFileName);
        RemoveDirectoryA(LogFileName);
        RegDeleteKeyExA(HKEY_LOCAL_MACHINE, TestProductKey, KEY_WOW64_32KEY, 0);
    }

    // An installer: a stand-in image followed by the sections, read by the engine as its own file.
    void UseInstaller(const std::string& script, const std::string& payload, bool withScript = true)
    {
        std::string file = "MZ stand-in program image";
        file += MakeSection(SectionBeginningMark, "");
        if (withScript) file += MakeSection(SectionSetupCmd, CompressString(script, LevelDefault));
        if (!payload.empty()) file += MakeSection(SectionSetupBin, CompressString(payload, LevelDefault));
        const std::string installer = dir_.File("Setup.exe");
        WriteTestFile(installer, file);
        UseSectionsFile(installer);
    }
    // The same with the payload section's bytes as given (already compressed, or damaged).
    void UseInstallerWithSection(const std::string& script, const std::string& payloadSection)
    {
        const std::string installer = dir_.File("Setup.exe");
        WriteTestFile(installer, "MZ stand-in program image" + MakeSection(SectionBeginningMark, "") +
                                     MakeSection(SectionSetupCmd, CompressString(script, LevelDefault)) +
                                     MakeSection(SectionSetupBin, payloadSection));
        UseSectionsFile(installer);
    }
    std::string Target(const std::string& name) const { return dir_.File(name); }

    TempDir dir_;
};

} // namespace

TEST_F(SetupScriptTest, FullRunInstallsStoredAndCompressedFilesAndLeavesNoLog)
{
    const std::string program = MakeTestBytes(4000, false, 7);
    const std::string help = MakeTestBytes(30000, true, 8);
    const std::string helpPiece = CompressString(help, LevelBest);
    const std::string ini = "[x]\r\n";
    const std::string script = "action=save,OrigLen=4000,Filename=*PgmPath*\\Morvane.exe\r\n"
                               "action=save,OrigLen=30000,ComprLen=" + std::to_string(helpPiece.size()) +
                               ",\"Filename=*PgmPath*\\Help Files\\Form3 Lost, Destruction.rtf\"\r\n"
                               "action=saveifnotexists,OrigLen=5,Filename=*PgmPath*\\Morvane.ini";
    UseInstaller(script, program + helpPiece + ini);
    WriteTestFile(LogFileName, "log of an earlier run");
    Engine.RegistryKey = TestProductKey;

    EXPECT_TRUE(RunSetupScript(false)) << Engine.ErrorText;
    EXPECT_EQ(Engine.ErrorText, "");
    EXPECT_EQ(ReadTestFile(Target("Morvane.exe")), program);
    EXPECT_EQ(ReadTestFile(Target("Help Files\\Form3 Lost, Destruction.rtf")), help)
        << "a quoted item keeps its blank and comma";
    EXPECT_EQ(ReadTestFile(Target("Morvane.ini")), ini) << "the last line needs no line break";
    EXPECT_EQ(LogText(), "log of an earlier run") << "a run without errors does not touch the log";
    EXPECT_EQ(ReadTestProductValue("Exec"), Target("Morvane.exe")) << "the main program is registered";
}

TEST_F(SetupScriptTest, BlankLineStopsTheRunAndTheLogEndsWithTheErrors)
{
    const std::string first = "action=save,OrigLen=3,Filename=*PgmPath*\\first.txt";
    UseInstaller(first + "\r\n\r\naction=save,OrigLen=3,Filename=*PgmPath*\\second.txt\r\n", "onetwo");
    WriteTestFile(LogFileName, std::string(500, 'o') + "\r\n");
    EXPECT_FALSE(RunSetupScript(false));
    EXPECT_EQ(Engine.ErrorText, "Command failed: ; ");
    EXPECT_EQ(ReadTestFile(Target("first.txt")), "one");
    EXPECT_FALSE(FileExists(Target("second.txt"))) << "no line after the failing one runs";
    EXPECT_EQ(LogText(), first + "\r\n\r\nErrors: Command failed: ; \r\n")
        << "the executed lines, then the errors; an old log is overwritten";
}

TEST_F(SetupScriptTest, LogThatCannotBeCreatedRaisesAndEndsTheRun)
{
    ASSERT_TRUE(CreateDirectoryA(LogFileName, nullptr)) << "a folder in the log's place";
    UseInstaller("action=save,OrigLen=2,Filename=*PgmPath*\\Tool.exe\r\naction=fail\r\n", "MZ");
    Engine.RegistryKey = TestProductKey;
    EXPECT_THROW(RunSetupScript(false), Exception);
    EXPECT_EQ(ReadTestProductValue("Exec"), Target("Tool.exe"))
        << "the log is the run's last step: the uninstaller and the values come before it";
}

TEST_F(SetupScriptTest, FailedCommandStillRegistersTheProgramSavedBefore)
{
    const std::string bad = "action=Save,OrigLen=2,Filename=*PgmPath*\\b.txt";
    UseInstaller("Action=save,OrigLen=2,Filename=*PgmPath*\\Tool.exe\r\n" + bad + "\r\n", "aabb");
    Engine.RegistryKey = TestProductKey;
    Engine.DataPath = "D:\\Data\\";
    EXPECT_FALSE(RunSetupScript(false));
    EXPECT_TRUE(FileExists(Target("Tool.exe"))) << "the name \"Action\" matches \"action\"";
    EXPECT_EQ(Engine.ErrorText, "Command failed: " + bad + "; ") << "the action value is case-sensitive";
    EXPECT_EQ(ReadTestProductValue("Exec"), Target("Tool.exe"));
    EXPECT_EQ(ReadTestProductValue("DataPath"), "D:\\Data\\");
}

TEST_F(SetupScriptTest, DecompressionFailureEndsTheRunWithoutLog)
{
    UseInstaller("action=save,OrigLen=3,Filename=*PgmPath*\\a.txt\r\n"
                 "action=save,OrigLen=9,ComprLen=5,Filename=*PgmPath*\\b.txt\r\n"
                 "action=save,OrigLen=3,Filename=*PgmPath*\\c.txt\r\n"
                 "action=nothing\r\n",
                 "abcNOZIPxyz");
    Engine.RegistryKey = TestProductKey;
    EXPECT_THROW(RunSetupScript(false), EZDecompressionError);
    EXPECT_TRUE(FileExists(Target("a.txt")));
    EXPECT_FALSE(FileExists(Target("b.txt")));
    EXPECT_FALSE(FileExists(Target("c.txt"))) << "nothing after the failing piece runs";
    EXPECT_EQ(LogText(), "<no log>");
    EXPECT_EQ(ReadTestProductValue("Exec"), "<none>") << "no registry values after an exception";
}

TEST_F(SetupScriptTest, PathOnlyRunsOnlyPathLinesAndLogsOnlyThose)
{
    UseInstaller("action=path,Version=2012-01\r\n"
                 "action=save,OrigLen=3,Filename=*PgmPath*\\a.txt\r\n"
                 "\r\n"
                 "action=path,x=1",
                 "abc");
    EXPECT_TRUE(RunSetupScript(true)) << Engine.ErrorText;
    EXPECT_EQ(Engine.SetupVersion, "2012-01") << "the path line ran";
    EXPECT_FALSE(FileExists(Target("a.txt"))) << "a save line does not run";
    EXPECT_EQ(LogText(), "<no log>");

    // Errors stay for the whole program run: the next run reports them again.
    Engine.ErrorText = "earlier error; ";
    EXPECT_FALSE(RunSetupScript(true));
    EXPECT_EQ(LogText(), "action=path,Version=2012-01\r\naction=path,x=1\r\nErrors: earlier error; \r\n");
}

TEST_F(SetupScriptTest, MissingSectionsAreReported)
{
    UseSectionsFile(dir_.File("missing.exe"));
    EXPECT_FALSE(RunSetupScript(false));
    EXPECT_EQ(Engine.ErrorText, "setup information not found; ");

    Engine.ErrorText.clear();
    UseInstaller("", "payload", false);
    EXPECT_FALSE(RunSetupScript(false));
    EXPECT_EQ(Engine.ErrorText, "setup commands not found; ");
    EXPECT_EQ(LogText(), "<no log>") << "these failures write no log";

    Engine.ErrorText.clear();
    const std::string line = "action=save,OrigLen=1,Filename=*PgmPath*\\a.txt";
    UseInstaller(line, "");
    EXPECT_FALSE(RunSetupScript(false));
    EXPECT_EQ(Engine.ErrorText, "data error in " + Target("a.txt") + "; Command failed: " + line + "; ")
        << "a missing payload fails the first save";
}

TEST_F(SetupScriptTest, DispatcherMatchesActionsExactly)
{
    TPayload payload;
    payload.Data = "xyz";
    EXPECT_TRUE(ExecuteCommand("action=exec,params=aftersetup", payload));
    EXPECT_EQ(Engine.LaunchParams, "aftersetup");
    EXPECT_TRUE(ExecuteCommand("x=1,ACTION=save,OrigLen=1,Filename=*PgmPath*\\a.txt,action=bogus", payload))
        << "the first \"action\" item counts, in any letter case of the name";
    EXPECT_EQ(payload.Position, 1u);
    for (const char* line : {"action=Save,OrigLen=1,Filename=*PgmPath*\\b.txt", "action=save2", "action=sav",
                             "action=", "OrigLen=1", "", "action=exec2", "action=d", "action=uninstall",
                             "action=paths", "action=iconx", "action=x", "action=desktopini2",
                             "action=saveifnotexistsxxxxxxxxxxxxxxxxx"})
        EXPECT_FALSE(ExecuteCommand(line, payload)) << line;
    EXPECT_FALSE(ExecuteCommand("action=save" + std::string(40, ' ') + ",OrigLen=1", payload))
        << "a blank ends the unquoted value";
    EXPECT_FALSE(ExecuteCommand("\"action=save" + std::string(40, ' ') + "\",OrigLen=1", payload));
    EXPECT_EQ(payload.Position, 1u) << "no failing line consumed the payload";
    EXPECT_EQ(CommandAction(" \"action=path\" ,x"), "path");
    EXPECT_EQ(CommandAction("Action=Path"), "Path");
    EXPECT_EQ(CommandAction("name=action=path"), "");
}

TEST_F(SetupScriptTest, LargePayloadIsReadInPiecesAndDamageEndsTheRunBeforeAnyFile)
{
    // Pieces larger than the reader's pieces, a compressed one across their
    // borders, and a kept file that still consumes its piece.
    const std::string first = MakeTestBytes(2500000, false, 11);
    const std::string text = MakeTestBytes(1800000, true, 12);
    const std::string packed = CompressString(text, LevelBest);
    const std::string kept = MakeTestBytes(70000, false, 13);
    const std::string last = MakeTestBytes(1300000, true, 14);
    const std::string payload = first + packed + kept + last;
    const std::string script = "action=save,OrigLen=2500000,Filename=*PgmPath*\\big\\first.bin\r\n"
                               "action=save,OrigLen=1800000,ComprLen=" + std::to_string(packed.size()) +
                               ",Filename=*PgmPath*\\big\\text.txt\r\n"
                               "action=saveifnotexists,OrigLen=70000,Filename=*PgmPath*\\kept.dat\r\n"
                               "action=save,OrigLen=1300000,Filename=*PgmPath*\\last.bin\r\n";
    WriteTestFile(Target("kept.dat"), "mine");
    UseInstaller(script, payload);
    EXPECT_TRUE(RunSetupScript(true)) << Engine.ErrorText;
    EXPECT_FALSE(FileExists(Target("big\\first.bin"))) << "the path-only run writes nothing";
    ASSERT_TRUE(RunSetupScript(false)) << Engine.ErrorText;
    EXPECT_TRUE(ReadTestFile(Target("big\\first.bin")) == first);
    EXPECT_TRUE(ReadTestFile(Target("big\\text.txt")) == text);
    EXPECT_EQ(ReadTestFile(Target("kept.dat")), "mine");
    EXPECT_TRUE(ReadTestFile(Target("last.bin")) == last) << "the kept file's piece was consumed";

    // Damage far behind the first piece, a wrong check sum and a cut stream
    // are all found before the first file is written, in both runs.
    const std::string section = CompressString(payload, LevelFastest);
    std::string damaged = section;
    for (std::size_t i = damaged.size() - 100000; i < damaged.size() - 99000; ++i) damaged[i] = '\x5A';
    std::string badSum = section;
    badSum.back() = static_cast<char>(badSum.back() ^ 0x40);
    const std::string cut = section.substr(0, section.size() - 3);
    const struct {
        const std::string& bytes;
        const char* failure;
    } cases[] = {{damaged, "data error"}, {badSum, "data error"}, {cut, "buffer error"}};
    for (const auto& c : cases) {
        TempDir other;
        ResetEngineState();
        Engine.QuietErrors = true;
        Engine.PgmPath = other.Path().string() + "\\";
        UseInstallerWithSection(script, c.bytes);
        for (bool pathOnly : {true, false}) {
            try {
                RunSetupScript(pathOnly);
                ADD_FAILURE() << c.failure << ": the run should raise, path only " << pathOnly;
            } catch (const EZDecompressionError& error) {
                EXPECT_STREQ(error.what(), c.failure);
            }
        }
        EXPECT_FALSE(FileExists(other.File("big\\first.bin"))) << c.failure << ": no file is written";
        EXPECT_TRUE(Engine.WrittenFiles.empty());
    }
}
