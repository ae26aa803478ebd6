#include "mksetup/package_reader.h"

#include <gtest/gtest.h>

#include "mksetup/sha256.h"
#include "mksetup/tool_error.h"
#include "support/test_support.h"

namespace {

// The message of the ToolError that reading the package raises, or "" when it reads.
std::string ReadError(const std::string& packageFile)
{
    try {
        ReadPackage(packageFile);
    } catch (const ToolError& e) {
        EXPECT_EQ(e.Code, ExitBadInput);
        return e.what();
    }
    return std::string();
}

} // namespace

TEST(PackageReader, ErrorsNameTheFileTheLineAndTheProblem)
{
    TempDir dir;
    WriteTestFile(dir.File("a.txt"), "alpha");
    WriteTestFile(dir.File("empty.txt"), "");
    const std::string pkg = dir.File("p.pkg");
    const std::string first = "action=path,Registry=Brumo\\Morvane\r\n";
    const struct {
        std::string secondLine;
        std::string expected;
    } cases[] = {
        {"action=save,Source=missing.txt,Filename=*PgmPath*\\m.txt", "does not exist"},
        {"action=save,Source=empty.txt,Filename=*PgmPath*\\e.txt", "is empty"},
        {"action=copy,Source=a.txt,Filename=*PgmPath*\\a.txt", "unknown action \"copy\""},
        {"action=Save,Source=a.txt,Filename=*PgmPath*\\a.txt", "unknown action \"Save\""},
        {"action=save,Source=a.txt,\"Filename=*PgmPath*\\a b.txt", "unbalanced quote"},
        {"action=save,OrigLen=5,Source=a.txt,Filename=*PgmPath*\\a.txt", "OrigLen, ComprLen and Hash"},
        {"action=save,Source=a.txt,comprlen=5,Filename=*PgmPath*\\a.txt", "OrigLen, ComprLen and Hash"},
        {"action=save,Source=a.txt,HASH=00,Filename=*PgmPath*\\a.txt", "OrigLen, ComprLen and Hash"},
        {"action=save,Filename=*PgmPath*\\a.txt", "Source= is missing"},
        {"action=save,Source=a.txt", "Filename= is missing"},
        {"action=save,Source=a.txt,Filename=x,Compress=maybe", "Compress=maybe"},
        {"", "no action"},
        {"action=savedir,Source=nowhere,Filename=*PgmPath*\\", "does not exist"},
        {"action=savedir,Source=.", "Filename=TARGETFOLDER"},
    };
    for (const auto& c : cases) {
        WriteTestFile(pkg, first + c.secondLine + "\r\naction=exec,params=aftersetup\r\n");
        const std::string message = ReadError(pkg);
        EXPECT_NE(message.find(pkg + ":2: "), std::string::npos) << c.secondLine << " gave: " << message;
        EXPECT_NE(message.find(c.expected), std::string::npos) << c.secondLine << " gave: " << message;
    }
}

TEST(PackageReader, SaveLinesCarrySizesInsteadOfSourceAndOtherLinesStayAsWritten)
{
    TempDir dir;
    WriteTestFile(dir.File("Morvane.exe"), "MZ program");
    const std::string pathLine =
        "action=path,PgmPath=*Programs*\\Morvane\\,Registry=Brumo\\Morvane,\"MyStartMenu=*StartMenu*\\Morvane\\\"";
    WriteTestFile(dir.File("p.pkg"), pathLine + "\nAction=save,Source=Morvane.exe,Compress=NO,Filename=*PgmPath*\\Morvane.exe\n"
                                                "action=icon,file=*PgmPath*\\Start.exe,\"lnk=*Desktop*\\Morvane.lnk\"");
    const Package package = ReadPackage(dir.File("p.pkg"));
    ASSERT_EQ(package.Lines.size(), 3u);
    EXPECT_EQ(package.Lines[0].Text, pathLine);
    EXPECT_EQ(package.Lines[2].Text, "action=icon,file=*PgmPath*\\Start.exe,\"lnk=*Desktop*\\Morvane.lnk\"");
    const PackageLine& piece = package.Lines[1];
    ASSERT_TRUE(piece.IsPiece);
    EXPECT_EQ(ReadPieceData(piece), "MZ program");
    EXPECT_EQ(piece.Size, 10u);
    EXPECT_FALSE(piece.MayCompress) << "Compress=NO forces a stored piece";
    EXPECT_EQ(PieceScriptLine(piece, 10, 0), "Action=save,OrigLen=10,Filename=*PgmPath*\\Morvane.exe");
    EXPECT_EQ(PieceScriptLine(piece, 10, 7), "Action=save,OrigLen=10,ComprLen=7,Filename=*PgmPath*\\Morvane.exe");
    EXPECT_EQ(PieceScriptLine(piece, 10, 0, "AB12"), "Action=save,OrigLen=10,Filename=*PgmPath*\\Morvane.exe,Hash=AB12");
}

TEST(PackageReader, FileHashesAreSha256)
{
    // FIPS 180-4's examples: one block, two blocks, many.
    EXPECT_EQ(Sha256Hex("abc"), "BA7816BF8F01CFEA414140DE5DAE2223B00361A396177A9CB410FF61F20015AD");
    EXPECT_EQ(Sha256Hex("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
              "248D6A61D20638B8E5C026930C3E6039A33CE45964FF2167F6ECEDD419DB06C1");
    EXPECT_EQ(Sha256Hex(std::string(1000000, 'a')), "CDC76E5C9914FB9281A1C7E284D73E67F1809A48A497200E046D39CCC7112CD0");
}

TEST(PackageReader, SourcePathsTakeBothSlashesRelativeToThePackageFolder)
{
    TempDir dir;
    std::filesystem::create_directories(dir.Path() / "pkg" / "data");
    std::filesystem::create_directories(dir.Path() / "other");
    WriteTestFile(dir.File("pkg/data/a.ada"), "data");
    WriteTestFile(dir.File("other/b.txt"), "other");
    WriteTestFile(dir.File("pkg/p.pkg"), "action=saveifnotexists,Source=data\\a.ada,Filename=*PgmPath*\\a.ada\r\n"
                                         "action=save,Source=../other/b.txt,Filename=*PgmPath*\\b.txt\r\n");
    const Package package = ReadPackage(dir.File("pkg/p.pkg"));
    ASSERT_EQ(package.Lines.size(), 2u);
    EXPECT_EQ(ReadPieceData(package.Lines[0]), "data");
    EXPECT_EQ(ReadPieceData(package.Lines[1]), "other");
}

TEST(PackageReader, SaveDirExpandsInAStableOrderAndQuotesNamesWithBlanksAndCommas)
{
    TempDir dir;
    std::filesystem::create_directories(dir.Path() / "t" / "sub");
    // Written out of order on purpose: the listing order of the folder must not matter.
    WriteTestFile(dir.File("t/sub/z.txt"), "z");
    WriteTestFile(dir.File("t/Form3 Lost, Destruction.rtf"), "rtf");
    WriteTestFile(dir.File("t/b.txt"), "b");
    WriteTestFile(dir.File("t/a.txt"), "a");
    WriteTestFile(dir.File("p.pkg"), "action=savedir,Source=t,Filename=*PgmPath*\\Templates,Compress=no\r\n");
    const Package package = ReadPackage(dir.File("p.pkg"));
    std::vector<std::string> lines;
    for (const PackageLine& line : package.Lines) {
        EXPECT_FALSE(line.MayCompress);
        lines.push_back(PieceScriptLine(line, line.Size, 0));
    }
    const std::vector<std::string> expected = {
        "action=save,OrigLen=3,\"Filename=*PgmPath*\\Templates\\Form3 Lost, Destruction.rtf\"",
        "action=save,OrigLen=1,Filename=*PgmPath*\\Templates\\a.txt",
        "action=save,OrigLen=1,Filename=*PgmPath*\\Templates\\b.txt",
        "action=save,OrigLen=1,Filename=*PgmPath*\\Templates\\sub\\z.txt",
    };
    EXPECT_EQ(lines, expected);
    // The quoted line reads back to the same file name.
    EXPECT_EQ(ParamValue(SplitCommaText(lines[0]), "Filename"), "*PgmPath*\\Templates\\Form3 Lost, Destruction.rtf");
}

TEST(PackageReader, AnUnquotedValueWithABlankIsReportedAsAWarning)
{
    TempDir dir;
    WriteTestFile(dir.File("p.pkg"), "action=uninst,name=Brumo Morvane\r\n");
    const Package package = ReadPackage(dir.File("p.pkg"));
    ASSERT_EQ(package.Warnings.size(), 1u);
    EXPECT_NE(package.Warnings[0].find(":1: the item \"Morvane\" has no name"), std::string::npos) << package.Warnings[0];
    EXPECT_EQ(package.Lines[0].Text, "action=uninst,name=Brumo Morvane");
}
