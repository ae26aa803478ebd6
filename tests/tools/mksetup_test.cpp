// The packer end to end through its command line, in process: build, verify,
// extract and the inspection commands on the installers it writes.
#include "mksetup/tool_commands.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "container/payload_codec.h"
#include "container/pe_image.h"
#include "container/sections.h"
#include "container/zlib_wrapper.h"
#include "engine/command_text.h"
#include "mksetup/deflate_streams.h"
#include "mksetup/installer_builder.h"
#include "mksetup/installer_reader.h"
#include "mksetup/package_reader.h"
#include "mksetup/sha256.h"
#include "mksetup/tool_error.h"
#include "support/test_support.h"
#include "pe_stub.h"

namespace {

struct RunResult {
    int Code;
    std::string Out;
    std::string Err;
};

RunResult RunMksetup(const std::vector<std::string>& args)
{
    std::ostringstream out, err;
    const int code = RunTool(args, out, err, false);
    return {code, out.str(), err.str()};
}

// A package folder with a stub, a compressible and an incompressible file,
// a data file and a folder for savedir.
class PackageFolder {
public:
    PackageFolder()
    {
        std::filesystem::create_directories(dir_.Path() / "Templates" / "en");
        WriteTestFile(File("Setup.exe"), PeStub());
        WriteTestFile(File("Morvane.exe"), "MZ" + MakeTestBytes(20000, true, 1));
        WriteTestFile(File("Picture.jpg"), MakeTestBytes(5000, false, 2));
        WriteTestFile(File("Data.ada"), MakeTestBytes(700, true, 3));
        WriteTestFile(File("Templates/Form1.rtf"), MakeTestBytes(900, true, 4));
        WriteTestFile(File("Templates/en/Form3 Lost, Destruction.rtf"), MakeTestBytes(800, true, 5));
        WritePackage("action=path,PgmPath=*Programs*\\Morvane\\,Registry=Brumo\\Morvane,Version=2012-01,Lng=EN,"
                     "\"MyStartMenu=*StartMenu*\\Morvane\\\"\r\n"
                     "action=save,Source=Morvane.exe,Filename=*PgmPath*\\Morvane.exe\r\n"
                     "action=save,Source=Picture.jpg,Filename=*PgmPath*\\System\\Picture.jpg\r\n"
                     "action=saveifnotexists,Source=Data.ada,Compress=no,Filename=*PgmPath*\\DemoData\\Data.ada\r\n"
                     "action=savedir,Source=Templates,Filename=*PgmPath*\\Templates\\\r\n"
                     "action=uninst,pgm=*PgmPath*\\uninstall.exe,param=/uninst,\"name=Morvane\"\r\n"
                     "action=exec,params=aftersetup\r\n");
    }
    std::string File(const std::string& name) const { return dir_.File(name); }
    void WritePackage(const std::string& text) const { WriteTestFile(File("morvane.pkg"), text); }
    RunResult Build(const std::string& output, std::vector<std::string> extra = {}) const
    {
        std::vector<std::string> args = {"build", File("morvane.pkg"), "-o", File(output), "--stub", File("Setup.exe")};
        args.insert(args.end(), extra.begin(), extra.end());
        return RunMksetup(args);
    }

private:
    TempDir dir_;
};

std::string Section(const std::string& installer, const std::string& name)
{
    std::string image, sections, data;
    SplitAtBeginMarker(installer, image, sections);
    EXPECT_TRUE(FindSection(name, sections, data)) << name;
    return data;
}

} // namespace

TEST(Mksetup, RoundTripPackVerifyExtractGivesTheSameBytes)
{
    PackageFolder folder;
    for (const char* form : {"lzma", "zlib"}) {
        SCOPED_TRACE(form);
        const RunResult built = folder.Build("Setup-Morvane.exe", {"--jobs", "3", "--compress", form});
        ASSERT_EQ(built.Code, ExitOk) << built.Err;

        const RunResult verified = RunMksetup({"verify", folder.File("Setup-Morvane.exe")});
        EXPECT_EQ(verified.Code, ExitOk) << verified.Err;
        EXPECT_NE(verified.Out.find("installer OK"), std::string::npos) << verified.Out;
        EXPECT_NE(verified.Out.find("5 pieces"), std::string::npos) << verified.Out;
        EXPECT_NE(verified.Out.find(std::string(form) == "lzma" ? "LZMA2 section" : "zlib section"), std::string::npos)
            << verified.Out;

        TempDir target;
        const RunResult extracted = RunMksetup({"extract", folder.File("Setup-Morvane.exe"), "-o", target.File("out")});
        ASSERT_EQ(extracted.Code, ExitOk) << extracted.Err;
        const std::pair<const char*, const char*> files[] = {
            {"Morvane.exe", "out/PgmPath/Morvane.exe"},
            {"Picture.jpg", "out/PgmPath/System/Picture.jpg"},
            {"Data.ada", "out/PgmPath/DemoData/Data.ada"},
            {"Templates/Form1.rtf", "out/PgmPath/Templates/Form1.rtf"},
            {"Templates/en/Form3 Lost, Destruction.rtf", "out/PgmPath/Templates/en/Form3 Lost, Destruction.rtf"},
        };
        for (const auto& [source, written] : files)
            EXPECT_EQ(ReadTestFile(target.File(written)), ReadTestFile(folder.File(source))) << written;

        // The installer is the stub (its header's checksum set, a pad byte for
        // an even length), then the sections in their order, the check item
        // ahead of the payload.
        const std::string installer = ReadTestFile(folder.File("Setup-Morvane.exe"));
        const std::string stub = ReadTestFile(folder.File("Setup.exe"));
        EXPECT_EQ(installer.compare(0x200, stub.size() - 0x200, stub, 0x200), 0);
        const std::size_t imageSize = stub.size() + (installer[stub.size()] == '\0' ? 1 : 0);
        const RunResult listed = RunMksetup({"list", folder.File("Setup-Morvane.exe")});
        const std::size_t begin = listed.Out.find("Section:BeginningMark"), cmd = listed.Out.find("Section:Setup.cmd"),
                          sum = listed.Out.find("Section:Setup.sum"), bin = listed.Out.find("Section:Setup.bin");
        EXPECT_TRUE(begin != std::string::npos && cmd > begin && sum > cmd && bin > sum && bin != std::string::npos)
            << listed.Out;
        EXPECT_NE(listed.Out.find("image: " + std::to_string(imageSize) + " bytes"), std::string::npos) << listed.Out;
    }

    // A stub that cannot read the solid form gets only the zlib form.
    WriteTestFile(folder.File("Setup.exe"), PeStub(false));
    const RunResult refused = folder.Build("old.exe");
    EXPECT_EQ(refused.Code, ExitBadInput);
    EXPECT_NE(refused.Err.find("cannot read an LZMA payload"), std::string::npos) << refused.Err;
    EXPECT_FALSE(std::filesystem::exists(folder.File("old.exe")));
    EXPECT_EQ(folder.Build("old.exe", {"--compress", "zlib"}).Code, ExitOk);
    EXPECT_EQ(folder.Build("old.exe", {"--compress", "lz4"}).Code, ExitUsage);
}

TEST(Mksetup, TheScriptCarriesSizesAndTheRuntimeReadsEveryStream)
{
    PackageFolder folder;
    ASSERT_EQ(folder.Build("s.exe", {"--compress", "zlib"}).Code, ExitOk);
    const std::string installer = ReadTestFile(folder.File("s.exe"));
    // The runtime's own decompression reads the script and the payload.
    const std::string script = DecompressString(Section(installer, SectionSetupCmd));
    const std::string payload = DecompressString(Section(installer, SectionSetupBin));
    EXPECT_EQ(RunMksetup({"script", folder.File("s.exe")}).Out, script);

    const std::vector<std::string> lines = SplitLines(script);
    ASSERT_EQ(lines.size(), 8u) << script;
    EXPECT_EQ(script.substr(script.size() - 2), "\r\n") << "every line ends with CR LF";
    EXPECT_EQ(lines[0], "action=path,PgmPath=*Programs*\\Morvane\\,Registry=Brumo\\Morvane,Version=2012-01,Lng=EN,"
                        "\"MyStartMenu=*StartMenu*\\Morvane\\\"");
    // The pseudo-random picture does not shrink: stored, no ComprLen.
    // Every file's SHA-256 ends its line.
    EXPECT_EQ(lines[2], "action=save,OrigLen=5000,Filename=*PgmPath*\\System\\Picture.jpg,Hash=" +
                            Sha256Hex(ReadTestFile(folder.File("Picture.jpg"))));
    // Compress=no stores a file that would shrink, and the item itself is dropped.
    EXPECT_EQ(lines[3], "action=saveifnotexists,OrigLen=700,Filename=*PgmPath*\\DemoData\\Data.ada,Hash=" +
                            Sha256Hex(ReadTestFile(folder.File("Data.ada"))));
    const TParams exe = SplitCommaText(lines[1]);
    EXPECT_EQ(ParamValue(exe, "OrigLen"), "20002");
    const int comprLen = std::stoi(ParamValue(exe, "ComprLen"));
    ASSERT_GT(comprLen, 0);
    EXPECT_LT(comprLen, 20002);
    EXPECT_EQ(DecompressString(payload.substr(0, static_cast<std::size_t>(comprLen))),
              ReadTestFile(folder.File("Morvane.exe")));
    EXPECT_EQ(payload.substr(static_cast<std::size_t>(comprLen), 5000), ReadTestFile(folder.File("Picture.jpg")));
    EXPECT_EQ(payload.substr(static_cast<std::size_t>(comprLen) + 5000, 700), ReadTestFile(folder.File("Data.ada")));
    EXPECT_EQ(lines[5], "action=save,OrigLen=800,ComprLen=" + ParamValue(SplitCommaText(lines[5]), "ComprLen") +
                            ",\"Filename=*PgmPath*\\Templates\\en\\Form3 Lost, Destruction.rtf\",Hash=" +
                            Sha256Hex(ReadTestFile(folder.File("Templates/en/Form3 Lost, Destruction.rtf"))));
    EXPECT_EQ(lines[7], "action=exec,params=aftersetup");
}

TEST(Mksetup, IdenticalInputsGiveIdenticalInstallersWhateverTheThreadCount)
{
    PackageFolder folder;
    ASSERT_EQ(folder.Build("one.exe", {"--jobs", "1"}).Code, ExitOk);
    ASSERT_EQ(folder.Build("four.exe", {"--jobs", "4"}).Code, ExitOk);
    ASSERT_EQ(folder.Build("again.exe").Code, ExitOk);
    const std::string one = ReadTestFile(folder.File("one.exe"));
    EXPECT_EQ(one, ReadTestFile(folder.File("four.exe")));
    EXPECT_EQ(one, ReadTestFile(folder.File("again.exe")));
}

TEST(Mksetup, EveryStreamIsOneWholeCompressionAndNoSpoolIsLeftBehind)
{
    PackageFolder folder;
    for (const bool solid : {false, true}) {
        SCOPED_TRACE(solid ? "lzma" : "zlib");
        ASSERT_EQ(folder.Build("whole.exe", {"--jobs", "1", "--compress", solid ? "lzma" : "zlib"}).Code, ExitOk);
        BuildSettings settings;
        settings.Solid = solid;
        settings.Jobs = 3;
        settings.WholeCheckLimit = 0; // the piecewise check of large installers
        const BuildResult result = BuildInstaller(ReadPackage(folder.File("morvane.pkg")),
                                                  ReadTestFile(folder.File("Setup.exe")), "", settings,
                                                  folder.File("streamed.exe"));
        const std::string installer = ReadTestFile(folder.File("streamed.exe"));
        EXPECT_EQ(installer, ReadTestFile(folder.File("whole.exe")));
        EXPECT_EQ(result.InstallerSize, installer.size());
        EXPECT_EQ(result.PieceCount, 5u);
        // The payload stream goes through files; it must be the very stream
        // that one compression of the whole payload in memory gives.
        const std::string script = Section(installer, SectionSetupCmd);
        EXPECT_TRUE(DeflateZlibStream(DecompressString(script), SmallestLevel) == script);
        const std::string payload = Section(installer, SectionSetupBin);
        if (!solid) {
            EXPECT_TRUE(DeflateZlibStream(DecompressString(payload), SmallestLevel) == payload);
        }
        EXPECT_EQ(PayloadFormOf(payload.data(), payload.size()), solid ? TPayloadForm::Lzma : TPayloadForm::Zlib);
    }
    std::size_t files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder.File(""))) {
        EXPECT_EQ(entry.path().string().find(".mksetup-"), std::string::npos) << entry.path();
        ++files;
    }
    EXPECT_EQ(files, 8u) << "the package's files, the two installers";
}

TEST(Mksetup, ALanguageFileBecomesUtf16AndAStubsOldSectionsAreDropped)
{
    PackageFolder folder;
    WriteTestFile(folder.File("Setup.lng"), "DE=Schl\xC3\xBCssel\r\nEN=Key\r\n");
    ASSERT_EQ(folder.Build("first.exe", {"--lang", folder.File("Setup.lng")}).Code, ExitOk);
    const std::string first = ReadTestFile(folder.File("first.exe"));
    EXPECT_EQ(Section(first, SectionSetupLng),
              std::string("\xFF\xFE" "D\0E\0=\0S\0c\0h\0l\0\xFC\0s\0s\0e\0l\0\r\0\n\0E\0N\0=\0K\0e\0y\0\r\0\n\0", 46));

    // An installer used as the stub again: its sections are replaced, not kept.
    WriteTestFile(folder.File("Setup.exe"), first);
    const std::string utf16 = std::string("\xFF\xFE" "E\0N\0=\0x\0", 10);
    WriteTestFile(folder.File("Setup.lng"), utf16);
    ASSERT_EQ(folder.Build("second.exe", {"--lang", folder.File("Setup.lng")}).Code, ExitOk);
    const std::string second = ReadTestFile(folder.File("second.exe"));
    EXPECT_EQ(Section(second, SectionSetupLng), utf16);
    std::string image, sections;
    SplitAtBeginMarker(first, image, sections);
    EXPECT_EQ(second.compare(0x200, image.size() + 27 - 0x200, first, 0x200, image.size() + 27 - 0x200), 0);
    EXPECT_EQ(RunMksetup({"verify", folder.File("second.exe")}).Code, ExitOk);

    WriteTestFile(folder.File("Setup.lng"), "DE=Schl\xFCssel");
    const RunResult refused = folder.Build("third.exe", {"--lang", folder.File("Setup.lng")});
    EXPECT_EQ(refused.Code, ExitBadInput);
    EXPECT_FALSE(std::filesystem::exists(folder.File("third.exe")));
}

TEST(Mksetup, APackageErrorLeavesNoOutputBehindAndKeepsAnOldOne)
{
    PackageFolder folder;
    folder.WritePackage("action=path,Registry=Brumo\\Morvane\r\naction=save,Source=gone.txt,Filename=*PgmPath*\\x\r\n");
    const RunResult failed = folder.Build("out.exe");
    EXPECT_EQ(failed.Code, ExitBadInput);
    EXPECT_NE(failed.Err.find("morvane.pkg:2: source"), std::string::npos) << failed.Err;
    EXPECT_FALSE(std::filesystem::exists(folder.File("out.exe")));

    WriteTestFile(folder.File("out.exe"), "old");
    EXPECT_EQ(folder.Build("out.exe").Code, ExitBadInput);
    EXPECT_EQ(ReadTestFile(folder.File("out.exe")), "old");
    for (const auto& entry : std::filesystem::directory_iterator(folder.File("")))
        EXPECT_EQ(entry.path().string().find("partial"), std::string::npos) << entry.path();

    // Files are read only when they are packed: one that is emptied after the
    // package was read fails there, naming its line, and leaves no spool.
    folder.WritePackage("action=save,Source=Data.ada,Filename=*PgmPath*\\a\r\n"
                        "action=save,Source=Picture.jpg,Filename=*PgmPath*\\b\r\n");
    const Package package = ReadPackage(folder.File("morvane.pkg"));
    WriteTestFile(folder.File("Picture.jpg"), "");
    try {
        BuildInstaller(package, ReadTestFile(folder.File("Setup.exe")), "", BuildSettings(), folder.File("out.exe"));
        ADD_FAILURE() << "an emptied source must fail the build";
    } catch (const ToolError& e) {
        EXPECT_EQ(e.Code, ExitBadInput);
        EXPECT_NE(std::string(e.what()).find("morvane.pkg:2: source"), std::string::npos) << e.what();
    }
    EXPECT_EQ(ReadTestFile(folder.File("out.exe")), "old");
    for (const auto& entry : std::filesystem::directory_iterator(folder.File("")))
        EXPECT_EQ(entry.path().string().find(".mksetup-"), std::string::npos) << entry.path();
}

TEST(Mksetup, VerifyFindsTheFirstProblemOfADamagedInstaller)
{
    PackageFolder folder;
    ASSERT_EQ(folder.Build("good.exe", {"--compress", "zlib"}).Code, ExitOk);
    const std::string good = ReadTestFile(folder.File("good.exe"));
    std::string image, sections;
    SplitAtBeginMarker(good, image, sections);
    const std::string cmd = Section(good, SectionSetupCmd);
    const std::string bin = Section(good, SectionSetupBin);
    const std::string script = DecompressString(cmd);
    const std::string begin = MakeSection(SectionBeginningMark, "");

    const auto withScript = [&](const std::string& text, const std::string& payload) {
        return image + begin + MakeSection(SectionSetupCmd, CompressString(text, LevelBest)) +
               MakeSection(SectionSetupBin, payload);
    };
    std::string wrongPiece = DecompressString(bin);
    wrongPiece[0] = static_cast<char>(wrongPiece[0] ^ 0x20); // damages the first piece's zlib header
    std::string longer = script;
    longer.replace(longer.find("OrigLen=5000"), 12, "OrigLen=5001");
    std::string wrongOrigLen = script;
    wrongOrigLen.replace(wrongOrigLen.find("OrigLen=20002"), 13, "OrigLen=20001");
    TPayloadCheck check;
    ASSERT_TRUE(ReadPayloadCheck(Section(good, SectionSetupSum), check));
    check.SectionCrc ^= 1;
    const std::string staleCheck = MakePayloadCheck(check);
    // Language data that happens to hold the script's marker: the installer
    // would look for its script there.
    const std::string falseMarker = image + begin +
                                    MakeSection(SectionSetupLng, "\xFF\xFE" + MakeSectionMarker(SectionSetupCmd) + "xxx") +
                                    MakeSection(SectionSetupCmd, cmd) + MakeSection(SectionSetupBin, bin);

    const struct {
        std::string name;
        std::string bytes;
        std::string expected;
    } cases[] = {
        {"cut", good.substr(0, good.size() - 10), "past the end of the file"},
        {"no sections", image, "no sections"},
        {"trailing", good + "x", "stray bytes"},
        {"bad script", image + begin + MakeSection(SectionSetupCmd, "garbage") + MakeSection(SectionSetupBin, bin),
         "Section:Setup.cmd does not decompress"},
        {"unknown action", withScript(script + "action=Exec\r\n", bin), "unknown action \"Exec\""},
        {"blank line", withScript("\r\n" + script, bin), "script line 1: no action"},
        {"short payload", withScript(longer, bin), "asks for"},
        {"bad piece", withScript(script, CompressString(wrongPiece, LevelBest)), "does not decompress"},
        {"no script", image + begin + MakeSection(SectionSetupBin, bin), "neither a command script"},
        {"wrong OrigLen", withScript(wrongOrigLen, bin), "decompresses to 20002 bytes, OrigLen says 20001"},
        {"false marker", falseMarker, "the marker of Section:Setup.cmd also stands at offset"},
        {"stale check item", image + begin + MakeSection(SectionSetupCmd, cmd) + MakeSection(SectionSetupSum, staleCheck) +
                                 MakeSection(SectionSetupBin, bin), "Section:Setup.sum does not match the payload section"},
    };
    for (const auto& c : cases) {
        WriteTestFile(folder.File("bad.exe"), c.bytes);
        const RunResult result = RunMksetup({"verify", folder.File("bad.exe")});
        EXPECT_EQ(result.Code, ExitBadInstaller) << c.name;
        EXPECT_NE(result.Err.find(c.expected), std::string::npos) << c.name << ": " << result.Err;
        EXPECT_TRUE(result.Out.empty()) << c.name;
    }
}

TEST(Mksetup, UninstallersAreListedVerifiedAndTheirListShown)
{
    TempDir dir;
    const std::string list = "UninstallKey=Morvane 2012-01-31 14.05.09\r\nLng=EN\r\nfile=C:\\P\\a.txt\r\n"
                             "file=C:\\P\\b.ada\r\ndir=C:\\P\r\n";
    const std::string uninstaller = PeStub() + MakeSection(SectionBeginningMark, "") +
                                    MakeSection(SectionSetupLng, std::string("\xFF\xFE" "D\0E\0", 6)) +
                                    MakeSection(SectionUninst, CompressString(list, LevelDefault));
    WriteTestFile(dir.File("uninstall.exe"), uninstaller);
    EXPECT_EQ(RunMksetup({"uninst", dir.File("uninstall.exe")}).Out, list);
    const RunResult verified = RunMksetup({"verify", dir.File("uninstall.exe")});
    EXPECT_EQ(verified.Code, ExitOk) << verified.Err;
    EXPECT_NE(verified.Out.find("uninstaller OK"), std::string::npos);
    EXPECT_NE(verified.Out.find("2 files and 1 folder"), std::string::npos) << verified.Out;
    const RunResult listed = RunMksetup({"list", dir.File("uninstall.exe")});
    EXPECT_NE(listed.Out.find("1024        0           Section:BeginningMark"), std::string::npos) << listed.Out;
    EXPECT_NE(listed.Out.find("Section:Uninst"), std::string::npos) << listed.Out;
    EXPECT_EQ(RunMksetup({"script", dir.File("uninstall.exe")}).Code, ExitBadInstaller);
    EXPECT_EQ(RunMksetup({"extract", dir.File("uninstall.exe"), "-o", dir.File("x")}).Code, ExitBadInstaller);
}

TEST(Mksetup, ExtractionPathsTurnPlaceholdersIntoFoldersAndNeverLeaveTheTarget)
{
    EXPECT_EQ(ExtractionPath("*PgmPath*\\a\\b.txt"), "PgmPath/a/b.txt");
    EXPECT_EQ(ExtractionPath("*MyStartMenu*\\\\Manual.pdf"), "MyStartMenu/Manual.pdf");
    EXPECT_EQ(ExtractionPath("C:\\Windows\\x.dll"), "C/Windows/x.dll");
    EXPECT_THROW(ExtractionPath("*PgmPath*\\..\\..\\etc\\passwd"), ToolError);
    EXPECT_THROW(ExtractionPath("\\\\"), ToolError);

    PackageFolder folder;
    folder.WritePackage("action=save,Source=Data.ada,Filename=*PgmPath*\\a.ada\r\n"
                        "action=save,Source=Data.ada,Filename=*PgmPath*\\..\\b.ada\r\n");
    ASSERT_EQ(folder.Build("escape.exe").Code, ExitOk);
    TempDir target;
    const RunResult result = RunMksetup({"extract", folder.File("escape.exe"), "-o", target.File("out")});
    EXPECT_EQ(result.Code, ExitBadInstaller);
    EXPECT_FALSE(std::filesystem::exists(target.File("out/PgmPath/a.ada"))) << "nothing is written before the names are checked";
}

TEST(Mksetup, CommandLineMistakesAreUsageErrorsAndEveryCommandHasHelp)
{
    for (const char* command : {"build", "list", "script", "uninst", "extract", "verify"}) {
        const RunResult help = RunMksetup({command, "--help"});
        EXPECT_EQ(help.Code, ExitOk) << command;
        EXPECT_EQ(help.Out.find(std::string("mksetup ") + command), 0u) << command;
    }
    EXPECT_EQ(RunMksetup({"--help"}).Code, ExitOk);
    EXPECT_EQ(RunMksetup({}).Code, ExitUsage);
    EXPECT_EQ(RunMksetup({"pack"}).Code, ExitUsage);
    EXPECT_EQ(RunMksetup({"build", "a.pkg"}).Code, ExitUsage) << "no -o";
    EXPECT_EQ(RunMksetup({"build", "a.pkg", "-o", "x.exe", "--jobs", "zero"}).Code, ExitUsage);
    EXPECT_EQ(RunMksetup({"build", "a.pkg", "-o", "x.exe", "--level", "13"}).Code, ExitUsage);
    EXPECT_EQ(RunMksetup({"verify", "a.exe", "--fast"}).Code, ExitUsage);
    EXPECT_EQ(RunMksetup({"verify"}).Code, ExitUsage);
    EXPECT_EQ(RunMksetup({"verify", "/nonexistent/x.exe"}).Code, ExitBadInput);
}

namespace {

const std::size_t SecurityEntry = StubSecurityEntry;

void Put32(std::string& bytes, std::size_t at, std::uint32_t value)
{
    PutLittle32(bytes, at, value);
}

// What a signing tool does: zeros up to an 8-byte boundary, then the table.
std::string WithCertificate(std::string file, std::size_t size)
{
    file.resize((file.size() + 7) / 8 * 8, '\0');
    Put32(file, SecurityEntry, static_cast<std::uint32_t>(file.size()));
    Put32(file, SecurityEntry + 4, static_cast<std::uint32_t>(size));
    return file + std::string(size, '\x30');
}

} // namespace

TEST(Mksetup, ACertificateTableThatEndsTheFileIsTheSignatureOtherBytesAreNot)
{
    PackageFolder folder;
    WriteTestFile(folder.File("Setup.exe"), PeStub());
    ASSERT_EQ(folder.Build("plain.exe").Code, ExitOk);
    const std::string plain = ReadTestFile(folder.File("plain.exe"));
    std::uint32_t stored, computed;
    ASSERT_TRUE(PeStoredChecksum(plain, stored) && PeComputedChecksum(plain, computed));
    EXPECT_EQ(stored, computed) << "the built installer carries its checksum";
    EXPECT_NE(RunMksetup({"verify", folder.File("plain.exe")}).Out.find("OK: not signed"), std::string::npos);
    // Whatever the payload's length, the file is even (checksum tools agree
    // only then). Files of a few lengths give sections of both parities (the
    // compressed script and payload vary with the bytes too), so both ways
    // are taken: with and without the pad behind the image.
    {
        PackageFolder odd;
        WriteTestFile(odd.File("Setup.exe"), PeStub());
        bool padded[2] = {};
        for (int extra = 0; extra < 16 && !(padded[0] && padded[1]); ++extra) {
            WriteTestFile(odd.File("One.bin"), std::string(1 + extra, 'x'));
            odd.WritePackage("action=path,PgmPath=*Programs*\\Odd\\,Registry=Brumo\\Odd,Version=1,Lng=EN\r\n"
                             "action=save,Source=Morvane.exe,Filename=*PgmPath*\\Odd.exe\r\n"
                             "action=save,Source=One.bin,Compress=no,Filename=*PgmPath*\\One.bin\r\n");
            ASSERT_EQ(odd.Build("odd.exe").Code, ExitOk);
            const std::string built = ReadTestFile(odd.File("odd.exe"));
            EXPECT_EQ(built.size() % 2, 0u) << extra;
            ASSERT_TRUE(PeStoredChecksum(built, stored) && PeComputedChecksum(built, computed));
            EXPECT_EQ(stored, computed) << extra;
            EXPECT_EQ(RunMksetup({"verify", odd.File("odd.exe")}).Code, ExitOk) << extra;
            std::string image, sections;
            SplitAtBeginMarker(built, image, sections);
            padded[image.size() != PeStub().size() ? 1 : 0] = true;
        }
        EXPECT_TRUE(padded[0] && padded[1]) << "some of these lengths need the pad behind the image, others not";
    }

    const std::string signedFile = WithCertificate(plain, 1504);
    WriteTestFile(folder.File("signed.exe"), signedFile);
    for (const char* command : {"verify", "list", "script", "extract"}) {
        std::vector<std::string> args = {command, folder.File("signed.exe")};
        if (std::string(command) == "extract") args.insert(args.end(), {"-o", folder.File("out")});
        const RunResult result = RunMksetup(args);
        EXPECT_EQ(result.Code, ExitOk) << command << ": " << result.Err;
        if (std::string(command) == "verify" || std::string(command) == "list") {
            EXPECT_NE(result.Out.find("signed, 1504 bytes of certificate"), std::string::npos) << result.Out;
        }
    }
    // Bytes between the sections and the table, or behind the table.
    const struct {
        std::string bytes;
        std::size_t strayAt;
    } damaged[] = {
        {WithCertificate(plain + "JUNK", 1504), plain.size()},
        {WithCertificate(plain + std::string(8, '\0'), 1504), plain.size()},
        {signedFile + "x", plain.size()},
    };
    for (const auto& bad : damaged) {
        WriteTestFile(folder.File("bad.exe"), bad.bytes);
        const RunResult result = RunMksetup({"verify", folder.File("bad.exe")});
        EXPECT_EQ(result.Code, ExitBadInstaller);
        EXPECT_NE(result.Err.find("stray bytes at offset " + std::to_string(bad.strayAt)), std::string::npos)
            << result.Err;
    }

    // A signed stub (here: the signed installer itself) loses its signature.
    const RunResult rebuilt = RunMksetup({"build", folder.File("morvane.pkg"), "-o", folder.File("again.exe"), "--stub",
                                          folder.File("signed.exe")});
    ASSERT_EQ(rebuilt.Code, ExitOk) << rebuilt.Err;
    EXPECT_NE(rebuilt.Err.find("is signed; its signature (1504 bytes of certificate) is removed"), std::string::npos)
        << rebuilt.Err;
    EXPECT_EQ(ReadTestFile(folder.File("again.exe")), plain);
}

TEST(Mksetup, AFileWithoutAValidPeHeaderIsNoStubAndNoInstallerImage)
{
    PackageFolder folder;
    WriteTestFile(folder.File("Setup.exe"), "MZ" + MakeTestBytes(3000, false, 7));
    RunResult result = folder.Build("out.exe");
    EXPECT_EQ(result.Code, ExitBadInput);
    EXPECT_NE(result.Err.find("is not a Windows program (no valid PE header)"), std::string::npos) << result.Err;
    EXPECT_FALSE(std::filesystem::exists(folder.File("out.exe")));

    // A security entry pointing into the headers is no signature: the stub
    // stays whole and the installer carries no entry.
    std::string stub = PeStub();
    Put32(stub, SecurityEntry, 0x40);
    Put32(stub, SecurityEntry + 4, static_cast<std::uint32_t>(stub.size() - 0x40));
    WriteTestFile(folder.File("Setup.exe"), stub);
    result = folder.Build("out.exe");
    ASSERT_EQ(result.Code, ExitOk) << result.Err;
    EXPECT_EQ(result.Err.find("is signed"), std::string::npos) << result.Err;
    const std::string built = ReadTestFile(folder.File("out.exe"));
    std::string image, sections;
    SplitAtBeginMarker(built, image, sections);
    EXPECT_GE(image.size(), stub.size());
    std::uint32_t offset = 1, size = 1;
    ASSERT_TRUE(PeSecurityDirectory(built, offset, size));
    EXPECT_EQ(offset + size, 0u);

    // verify refuses sections behind bytes that are no program.
    WriteTestFile(folder.File("noprogram.exe"), "MZ" + std::string(62, '\0') + sections);
    result = RunMksetup({"verify", folder.File("noprogram.exe")});
    EXPECT_EQ(result.Code, ExitBadInstaller);
    EXPECT_NE(result.Err.find("not a Windows program"), std::string::npos) << result.Err;
}

TEST(Mksetup, AFailingSigningCommandLeavesNoInstaller)
{
#ifdef _WIN32
    const std::string failing = "if exist {} exit 3", signingNothing = "if exist {} (exit 0) else (exit 5)";
#else
    const std::string failing = "test -f {} && exit 3", signingNothing = "test -f {}";
#endif
    PackageFolder folder;
    const RunResult failed = folder.Build("Setup-Signed.exe", {"--sign", failing});
    EXPECT_EQ(failed.Code, ExitWriteFailed);
    EXPECT_NE(failed.Err.find("the signing command failed (exit code 3)"), std::string::npos) << failed.Err;
    // A command that succeeds but signs nothing fails too.
    const RunResult unsignedResult = folder.Build("Setup-Signed.exe", {"--sign", signingNothing});
    EXPECT_EQ(unsignedResult.Code, ExitWriteFailed);
    EXPECT_NE(unsignedResult.Err.find("without a signature"), std::string::npos) << unsignedResult.Err;
    // sh finds the file under its own name, whatever it holds; cmd would
    // expand %PATH% in it, so there such a path is refused before anything is packed.
    const RunResult odd = folder.Build("50%PATH%off $HOME/Setup-Signed.exe", {"--sign", signingNothing});
#ifdef _WIN32
    EXPECT_EQ(odd.Code, ExitUsage);
    EXPECT_NE(odd.Err.find("--sign: cmd would expand the % in"), std::string::npos) << odd.Err;
    EXPECT_FALSE(std::filesystem::exists(folder.File("50%PATH%off $HOME")));
#else
    EXPECT_EQ(odd.Code, ExitWriteFailed);
    EXPECT_NE(odd.Err.find("without a signature"), std::string::npos) << odd.Err;
    EXPECT_TRUE(std::filesystem::is_empty(folder.File("50%PATH%off $HOME")));
#endif
    EXPECT_EQ(folder.Build("Setup-Signed.exe", {"--sign", "true"}).Code, ExitUsage) << "no {} in the command";
    for (const auto& entry : std::filesystem::directory_iterator(std::filesystem::path(folder.File("x")).parent_path()))
        EXPECT_EQ(entry.path().filename().string().find("Setup-Signed"), std::string::npos) << entry.path();
}
