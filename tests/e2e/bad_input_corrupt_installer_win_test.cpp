// Damaged installers run unattended: for every section, the file cut inside
// it, a byte of it flipped, and its stored length set past the end of the file
// or negative. Each run ends either as a complete, correct installation or with
// exit code 1, one line on standard error and no installed file; never with a
// crash or a hang.
#include <windows.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <sstream>

#include <gtest/gtest.h>

#include "container/payload_codec.h"
#include "container/sections.h"
#include "container/zlib_wrapper.h"
#include "e2e_support_win.h"
#include "engine/command_text.h"
#include "support/test_support.h"
#include "util/file_helpers.h"
#include "util/win_handles.h"

namespace {

struct TSectionPlace {
    std::string Name;
    std::size_t Start = 0;      // of the marker in the file
    std::size_t LengthAt = 0;   // of the 4-byte stored length
    std::size_t DataSize = 0;
};

struct TVariant {
    std::string Description;
    std::string Bytes;
    // The outcome that the section's format dictates: true for a certain
    // failure, false where the damage lies in bytes the program never checks.
    bool MustFail = false;
};

void PutLength(std::string& bytes, std::size_t at, std::uint32_t length)
{
    for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<char>((length >> (8 * i)) & 0xFF);
}

std::string FolderListing(const std::string& folder)
{
    std::string listing;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return listing;
    do {
        const std::string name = found.cFileName;
        if (name != "." && name != "..") listing += name + " ";
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return listing;
}

std::vector<TVariant> Variants(const std::string& installer, const std::vector<TSectionPlace>& places)
{
    std::vector<TVariant> variants;
    for (const TSectionPlace& place : places) {
        const std::string& name = place.Name;
        const bool isScript = name == SectionSetupCmd;
        const bool isPayload = name == SectionSetupBin;
        // A garbled check item is passed by: the payload is then decoded once
        // to its end before the first write.
        const std::size_t dataStart = place.LengthAt + 4;
        // Cut inside the marker, inside the length, inside the data: every
        // later section is gone, and with it the script or the payload.
        variants.push_back({name + " cut inside its marker", installer.substr(0, place.Start + 3), true});
        variants.push_back({name + " cut inside its length", installer.substr(0, place.LengthAt + 2), true});
        if (place.DataSize > 0)
            variants.push_back({name + " cut inside its data", installer.substr(0, dataStart + place.DataSize / 2),
                                true});
        // A flipped byte: the zlib streams carry a check sum; the language
        // text and the begin marker's name carry none (a flipped marker
        // byte hides the section).
        std::string flipped = installer;
        const std::size_t at = place.DataSize > 0 ? dataStart + place.DataSize / 2 : place.Start + 5;
        flipped[at] = static_cast<char>(flipped[at] ^ 0x20);
        variants.push_back({name + " with a flipped byte", flipped,
                            isScript || isPayload || name == SectionBeginningMark});
        // Stored lengths: past the end of the file the data is cut at the
        // end (a zlib stream ignores what follows it); negative means no data.
        std::string pastEnd = installer;
        PutLength(pastEnd, place.LengthAt, static_cast<std::uint32_t>(installer.size() - dataStart + 1000));
        variants.push_back({name + " with a length past the end", pastEnd, false});
        for (const std::uint32_t negative : {0xFFFFFFFFu, 0x80000000u}) {
            std::string bytes = installer;
            PutLength(bytes, place.LengthAt, negative);
            std::ostringstream description;
            description << name << " with the length 0x" << std::hex << negative;
            variants.push_back({description.str(), bytes, isScript || isPayload});
        }
    }
    return variants;
}

// The sections of an installer, by walking the chain from the begin marker.
std::vector<TSectionPlace> PlacesOf(const std::string& installer)
{
    std::vector<TSectionPlace> places;
    std::size_t markerLength = 0;
    std::size_t pos = FindSectionMarker(SectionBeginningMark, installer, markerLength);
    while (pos != std::string::npos && pos < installer.size()) {
        const std::size_t close = installer.find('\xF7', pos + 1);
        if (close == std::string::npos || close + 5 > installer.size()) break;
        TSectionPlace place;
        for (std::size_t i = pos + 1; i < close; ++i) place.Name += static_cast<char>(installer[i] ^ 0x55);
        place.Start = pos;
        place.LengthAt = close + 1;
        for (int i = 3; i >= 0; --i)
            place.DataSize = (place.DataSize << 8) | static_cast<unsigned char>(installer[place.LengthAt + i]);
        places.push_back(place);
        pos = place.LengthAt + 4 + place.DataSize;
    }
    return places;
}

// Runs one damaged installer unattended and checks how it ended; installed
// tells whether a run that succeeded installed everything. Returns the outcome
// for the summary and counts failures.
std::string RunDamaged(const TVariant& variant, const std::string& installer, const std::string& folder,
                       const std::function<void()>& checkInstalled, int& failures)
{
    WriteTestFile(installer, variant.Bytes);
    DeleteFileA("C:\\Setup.log");
    const TRunResult run = RunProgram("\"" + installer + "\" /S \"/D=" + folder + "\"");
    EXPECT_NE(run.ExitCode, 0xFFFFFFFFu) << "the installer hung or did not start";
    EXPECT_LT(run.ExitCode, 0xC0000000u) << "the installer crashed";
    std::string outcome;
    if (run.ExitCode == 0) {
        EXPECT_EQ(run.StandardError, "");
        checkInstalled();
        outcome = "installed";
    } else {
        ++failures;
        // 7 when the checks before the first write find the damage, 1 when a line that ran does.
        EXPECT_TRUE(run.ExitCode == 7u || run.ExitCode == 1u) << run.ExitCode << ": " << run.StandardError;
        const std::string& error = run.StandardError;
        EXPECT_TRUE(error.size() > 9 && error.compare(0, 7, "Setup: ") == 0 && error.find('\n') == error.size() - 1)
            << "one line on standard error, got: " << error;
        EXPECT_EQ(FolderListing(folder), "") << "a failed run installs nothing";
        outcome = "exit " + std::to_string(run.ExitCode) + ": " + error.substr(0, error.find('\r'));
    }
    if (variant.MustFail) {
        EXPECT_NE(run.ExitCode, 0u) << "this damage cannot go unnoticed";
    }
    if (PathExists("C:\\Setup.log")) outcome += " (log written)";
    DeleteFileA(installer.c_str());
    return "  " + variant.Description + ": " + outcome + "\n";
}

class CorruptInstallerTest : public ::testing::Test {
protected:
    void SetUp() override { Make(false); }

    // solid: the payload as one xz stream of several blocks, its pieces
    // stored, with the check item ahead of it, as the packer writes it.
    void Make(bool solid)
    {
        places_.clear();
        product_ = "SetupE2E\\Corrupt" + std::to_string(GetCurrentProcessId());
        files_ = {
            {"Morvane.exe", MakeTestBytes(20000, false, 11), false, false},
            {"Help\\manual.htm", MakeTestBytes(30000, true, 12), !solid, false},
            {"Templates\\Form1.rtf", MakeTestBytes(9000, true, 13), !solid, false},
        };
        std::string payload;
        std::vector<std::string> script = {"action=path," + QuoteItem("PgmPath=" + dir_.File("Default") + "\\") +
                                           "," + QuoteItem("Registry=" + product_) + ",Version=2012-01,Lng=DE"};
        for (const std::string& line : SaveLines(files_, payload)) script.push_back(line);
        script.push_back("action=exec,params=aftersetup");
        std::string scriptText;
        for (const std::string& line : script) scriptText += line + "\r\n";

        std::vector<std::pair<std::string, std::string>> sections = {
            {SectionBeginningMark, ""},
            {SectionSetupLng, Utf16LeWithMark("// Setup\r\nDE=Setup f\xFCr\r\nEN=Setup for\r\n")},
            {SectionSetupCmd, CompressString(scriptText, LevelDefault)},
        };
        if (solid) {
            const std::string section = SolidPayloadSection(payload, 16 * 1024);
            sections.push_back({SectionSetupSum, PayloadCheckItemFor(section, payload.size())});
            sections.push_back({SectionSetupBin, section});
        } else {
            sections.push_back({SectionSetupBin, CompressString(payload, LevelDefault)});
        }
        installer_ = SetupImage();
        for (const auto& [name, data] : sections) {
            TSectionPlace place;
            place.Name = name;
            place.Start = installer_.size();
            place.LengthAt = place.Start + name.size() + 2;
            place.DataSize = data.size();
            places_.push_back(place);
            installer_ += MakeSection(name, data);
        }
    }
    void TearDown() override
    {
        RegDeleteTreeAt(HKEY_LOCAL_MACHINE, "SOFTWARE\\" + product_);
        RegDeleteTreeAt(HKEY_CURRENT_USER, "SOFTWARE\\" + product_);
    }

    std::string product_;
    std::vector<TPackageFile> files_;
    std::vector<TSectionPlace> places_;
    std::string installer_;
    TempDir dir_;
};

} // namespace

TEST_F(CorruptInstallerTest, EveryDamagedSectionEndsInAClearErrorOrAWholeInstallation)
{
    const std::vector<TVariant> variants = Variants(installer_, places_);
    ASSERT_EQ(variants.size(), 4u * 7u - 1u) << "seven damages per section, the begin marker has no data to cut";
    std::string summary;
    int failures = 0;
    for (std::size_t i = 0; i < variants.size(); ++i) {
        SCOPED_TRACE(variants[i].Description);
        const std::string folder = dir_.File("Install" + std::to_string(i));
        summary += RunDamaged(variants[i], dir_.File("Setup" + std::to_string(i) + ".exe"), folder, [&] {
            for (const TPackageFile& file : files_)
                EXPECT_EQ(ReadTestFile(folder + "\\" + file.Name), file.Contents) << "success means every file whole: " << file.Name;
        }, failures);
        EXPECT_FALSE(PathExists(dir_.File("Default"))) << "nothing goes to the script's own folder";
    }
    DeleteFileA("C:\\Setup.log");
    std::printf("%zu damaged installers, %d ended in an error:\n%s", variants.size(), failures, summary.c_str());
}

// The same damages on an installer whose payload is one xz stream in blocks,
// decoded on several threads, behind its check item; intact, it installs
// every file byte for byte.
TEST_F(CorruptInstallerTest, TheSolidFormInstallsWholeAndEveryDamageEndsInAClearError)
{
    Make(true);
    const std::string intact = dir_.File("Intact");
    int failures = 0;
    RunDamaged({"intact", installer_, false}, dir_.File("SetupIntact.exe"), intact, [] {}, failures);
    EXPECT_EQ(failures, 0) << "the intact solid installer runs";
    for (const TPackageFile& file : files_)
        EXPECT_EQ(ReadTestFile(intact + "\\" + file.Name), file.Contents) << file.Name;

    const std::vector<TVariant> variants = Variants(installer_, places_);
    ASSERT_EQ(variants.size(), 5u * 7u - 1u);
    std::string summary;
    for (std::size_t i = 0; i < variants.size(); ++i) {
        SCOPED_TRACE(variants[i].Description);
        const std::string folder = dir_.File("Install" + std::to_string(i));
        summary += RunDamaged(variants[i], dir_.File("Setup" + std::to_string(i) + ".exe"), folder, [&] {
            for (const TPackageFile& file : files_)
                EXPECT_EQ(ReadTestFile(folder + "\\" + file.Name), file.Contents) << "success means every file whole: " << file.Name;
        }, failures);
    }
    DeleteFileA("C:\\Setup.log");
    std::printf("%zu damaged solid installers, %d ended in an error:\n%s", variants.size(), failures, summary.c_str());
}

TEST(CorruptDemoInstaller, EveryDamagedSectionEndsInAClearErrorOrAWholeInstallation)
{
    const char* source = std::getenv("SETUP_SOURCE_DIR");
    std::string demo;
    if (!source || !ReadWholeFile((std::filesystem::path(source) / "dist" / "demo" / "Setup-Morvane.exe").string(), demo))
        GTEST_SKIP() << "no demo installer in dist/demo (make demo packs it)";
    const std::vector<TSectionPlace> places = PlacesOf(demo);
    ASSERT_EQ(places.size(), 5u) << "begin marker, language text, script, check item and payload";
    const std::vector<TVariant> variants = Variants(demo, places);
    TempDir dir;
    std::string summary;
    int failures = 0;
    for (std::size_t i = 0; i < variants.size(); ++i) {
        SCOPED_TRACE(variants[i].Description);
        const std::string folder = dir.File("Morvane" + std::to_string(i));
        summary += RunDamaged(variants[i], dir.File("Setup-Morvane.exe"), folder, [&] {
            EXPECT_TRUE(PathExists(folder + "\\Morvane.exe"));
            // Removed again, with its shortcuts and its uninstall entry.
            const TRunResult removal = RunProgram("\"" + folder + "\\uninstall.exe\" /uninst /S");
            EXPECT_EQ(removal.ExitCode, 0u) << removal.StandardError;
            EXPECT_FALSE(PathExists(folder + "\\Morvane.exe"));
        }, failures);
    }
    DeleteFileA("C:\\Setup.log");
    std::printf("%zu damaged demo installers, %d ended in an error:\n%s", variants.size(), failures, summary.c_str());
}

namespace {

BOOL CALLBACK CollectText(HWND child, LPARAM text)
{
    char buffer[1024] = {};
    GetWindowTextA(child, buffer, sizeof(buffer));
    *reinterpret_cast<std::string*>(text) += std::string(buffer) + "|";
    return TRUE;
}

// Starts the installer with its window and waits for the message box titled
// "Setup"; returns the box's texts (empty when none came) and closes it.
std::string ErrorBoxOf(const std::string& installer, DWORD& exitCode)
{
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    std::string line = "\"" + installer + "\"";
    exitCode = 0xFFFFFFFF;
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return std::string();
    FileHandle processHandle(process.hProcess);
    FileHandle threadHandle(process.hThread);
    std::string texts;
    for (int i = 0; i < 300 && texts.empty(); ++i) {
        if (WaitForSingleObject(process.hProcess, 100) == WAIT_OBJECT_0) break;
        HWND box = ProcessWindow(process.dwProcessId, "#32770", "Setup");
        if (!box) continue;
        EnumChildWindows(box, CollectText, reinterpret_cast<LPARAM>(&texts));
        PostMessageA(box, WM_COMMAND, IDOK, 0);
    }
    // The window stays open after the message (the user may still cancel): close it.
    for (int i = 0; i < 100 && WaitForSingleObject(process.hProcess, 100) != WAIT_OBJECT_0; ++i) {
        if (HWND window = ProcessWindow(process.dwProcessId, "TBvSetupForm1")) PostMessageA(window, WM_CLOSE, 0, 0);
        if (HWND box = ProcessWindow(process.dwProcessId, "#32770")) PostMessageA(box, WM_COMMAND, IDOK, 0);
    }
    if (WaitForSingleObject(process.hProcess, 10000) != WAIT_OBJECT_0) {
        TerminateProcess(process.hProcess, 0xFFFFFFFF);
        WaitForSingleObject(process.hProcess, 5000);
    }
    GetExitCodeProcess(process.hProcess, &exitCode);
    return texts;
}

} // namespace

TEST_F(CorruptInstallerTest, WindowModeShowsTheErrorOfADamagedScriptOrPayload)
{
    // With the window the failure shows in the message box titled "Setup".
    for (const TVariant& variant : Variants(installer_, places_)) {
        const bool scriptOrPayloadData = variant.Description.find("flipped") != std::string::npos &&
                                         (variant.Description.find(SectionSetupCmd) == 0 ||
                                          variant.Description.find(SectionSetupBin) == 0);
        if (!scriptOrPayloadData) continue;
        SCOPED_TRACE(variant.Description);
        const std::string installer = dir_.File("Windowed.exe");
        WriteTestFile(installer, variant.Bytes);
        DWORD exitCode = 0;
        const std::string texts = ErrorBoxOf(installer, exitCode);
        EXPECT_NE(texts.find("data error"), std::string::npos) << "the box shows the failure, got: " << texts;
        EXPECT_NE(exitCode, 0xFFFFFFFFu) << "the installer hung";
        EXPECT_LT(exitCode, 0xC0000000u) << "the installer crashed";
        EXPECT_FALSE(PathExists(dir_.File("Default"))) << "nothing is installed";
        DeleteFileA(installer.c_str());
    }
}
