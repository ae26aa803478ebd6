// `mksetup manifest`: the manifest of a packed installer states its hash,
// architecture, version, switches and exit codes, and the stable key when
// the package has one; python3-yaml then checks it against winget's schema
// rules (check_winget_manifest.py).
#include "mksetup/winget_manifest.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>

#include "engine/exit_codes.h"
#include "mksetup/sha256.h"
#include "mksetup/tool_commands.h"
#include "mksetup/tool_error.h"
#include "pe_stub.h"
#include "support/test_support.h"

namespace {

int Mksetup(const std::vector<std::string>& args, std::string* err = nullptr)
{
    std::ostringstream out, errors;
    const int code = RunTool(args, out, errors, false);
    if (err) *err = errors.str();
    return code;
}

// The packer's test stub, made an x64 program (machine 0x8664 at e_lfanew + 4).
std::string X64Stub()
{
    std::string image = PeStub();
    image.replace(0x84, 2, std::string("\x64\x86", 2));
    return image;
}

// The schema check of check_winget_manifest.py; its problems as text.
std::string SchemaProblems(const std::string& manifest)
{
    const char* source = std::getenv("SETUP_SOURCE_DIR");
    if (!source) return "SETUP_SOURCE_DIR not set";
    const std::string command = std::string("python3 \"") + source + "/tests/tools/check_winget_manifest.py\" \"" +
                                manifest + "\" > \"" + manifest + ".check\" 2>&1";
    const int status = std::system(command.c_str());
    return status == 0 ? std::string() : "exit " + std::to_string(status) + ": " + ReadTestFile(manifest + ".check");
}

} // namespace

TEST(WingetManifest, Sha256OfKnownTexts)
{
    EXPECT_EQ(Sha256Hex(""), "E3B0C44298FC1C149AFBF4C8996FB92427AE41E4649B934CA495991B7852B855");
    EXPECT_EQ(Sha256Hex("abc"), "BA7816BF8F01CFEA414140DE5DAE2223B00361A396177A9CB410FF61F20015AD");
    // 56 bytes: the length no longer fits the last block, a second one follows.
    EXPECT_EQ(Sha256Hex("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
              "248D6A61D20638B8E5C026930C3E6039A33CE45964FF2167F6ECEDD419DB06C1");
    EXPECT_EQ(Sha256Hex(std::string(1000000, 'a')), "CDC76E5C9914FB9281A1C7E284D73E67F1809A48A497200E046D39CCC7112CD0");
}

TEST(WingetManifest, StatesTheInstallerAndPassesTheSchemaWithAndWithoutAStableKey)
{
#ifdef _WIN32
    GTEST_SKIP() << "python3-yaml is on the build machine: the native build checks this";
#endif
    TempDir dir;
    WriteTestFile(dir.File("Setup.exe"), X64Stub());
    WriteTestFile(dir.File("Morvane.exe"), "MZ" + MakeTestBytes(5000, true, 1));
    const std::string pathLine = "action=path,PgmPath=*Programs*\\Morvane\\,Registry=Brumo\\Morvane,Version=1.0,Lng=EN\r\n"
                                 "action=path,Version=2012-01\r\n"
                                 "action=save,Source=Morvane.exe,Filename=*PgmPath*\\Morvane.exe\r\n";
    for (const bool stable : {true, false}) {
        SCOPED_TRACE(stable ? "with Key=" : "without Key=");
        WriteTestFile(dir.File("p.pkg"), pathLine + "action=uninst,\"Publisher=Brumo O'Neill\"" +
                                             (stable ? ",Key=Brumo.Morvane" : "") + "\r\n");
        ASSERT_EQ(Mksetup({"build", dir.File("p.pkg"), "-o", dir.File("Setup-Morvane.exe"), "--stub",
                           dir.File("Setup.exe")}),
                  ExitOk);
        const std::string yamlFile = dir.File("manifest.yaml");
        std::string err;
        ASSERT_EQ(Mksetup({"manifest", dir.File("Setup-Morvane.exe"), "--id", "Brumo.Morvane", "--url",
                           "https://www.brumo.example/Setup-Morvane.exe", "-o", yamlFile}, &err),
                  ExitOk) << err;
        const std::string yaml = ReadTestFile(yamlFile);
        EXPECT_EQ(SchemaProblems(yamlFile), "") << yaml;
        for (const std::string& expected :
             {std::string("PackageVersion: '2012-01'\n"), std::string("- Architecture: x64\n"),
              "  InstallerSha256: " + Sha256Hex(ReadTestFile(dir.File("Setup-Morvane.exe"))) + "\n",
              std::string("  InstallLocation: '\"/D=<INSTALLPATH>\"'\n"), std::string("  Log: '\"/LOG=<LOGPATH>\"'\n"),
              std::string("- InstallerReturnCode: 5\n  ReturnResponse: diskFull\n"),
              std::string("- InstallerReturnCode: 7\n  ReturnResponse: contactSupport\n")})
            EXPECT_NE(yaml.find(expected), std::string::npos) << expected << " in\n" << yaml;
        EXPECT_EQ(yaml.find("InstallerReturnCode: 1\n"), std::string::npos) << "1 says nothing particular";
        EXPECT_EQ(yaml.find("ProductCode: 'Brumo.Morvane'\nAppsAndFeaturesEntries:\n- DisplayName: 'Morvane.exe'\n"
                            "  Publisher: 'Brumo O''Neill'\n  DisplayVersion: '2012-01'\n") != std::string::npos,
                  stable)
            << yaml;
    }

    // The schema's required fields come from the command line; a damaged installer gets no manifest.
    const std::string installer = dir.File("Setup-Morvane.exe");
    EXPECT_EQ(Mksetup({"manifest", installer, "--url", "https://x.example/a.exe"}), ExitUsage);
    EXPECT_EQ(Mksetup({"manifest", installer, "--id", "Brumo.Morvane"}), ExitUsage);
    EXPECT_EQ(Mksetup({"manifest", installer, "--id", "Morvane", "--url", "https://x.example/a.exe"}), ExitUsage);
    EXPECT_EQ(Mksetup({"manifest", installer, "--id", "Brumo.Mor vane", "--url", "https://x.example/a.exe"}), ExitUsage);
    EXPECT_EQ(Mksetup({"manifest", installer, "--id", "Brumo.Morvane", "--url", "ftp://x.example/a.exe"}), ExitUsage);
    std::string damaged = ReadTestFile(installer);
    damaged[damaged.size() - 3] ^= 0x55;
    WriteTestFile(dir.File("damaged.exe"), damaged);
    EXPECT_EQ(Mksetup({"manifest", dir.File("damaged.exe"), "--id", "Brumo.Morvane", "--url", "https://x.example/a.exe"}),
              ExitBadInstaller);
}
