// Installers ended by force at moments spread over their run, each followed by
// a run of the same installer: the second run completes, every file holds the
// new bytes whole, the product has one uninstall entry, the user's settings
// file is complete and no temporary file is left. The moments are found by
// watching the program folder, never by waiting for a time.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

#include "fault_support_win.h"
#include "engine/folders.h"
#include "util/file_replace.h"

namespace {

// Enough files to spread the moments over; few enough to keep the 40 runs
// short in every test run. SETUP_FAULT_FILES asks for more (a longer run by hand).
std::size_t FileCountFromEnvironment()
{
    const char* wanted = std::getenv("SETUP_FAULT_FILES");
    const long count = wanted ? std::strtol(wanted, nullptr, 10) : 0;
    return count >= 100 && count <= 20000 ? static_cast<std::size_t>(count) : 600;
}
const std::size_t FileCount = FileCountFromEnvironment();

// The size of a temporary directly in folder, or -1 when there is none.
long long TemporarySizeIn(const std::string& folder)
{
    WIN32_FIND_DATAA record;
    HANDLE search = FindFirstFileA((folder + "\\~st*").c_str(), &record);
    if (search == INVALID_HANDLE_VALUE) return -1;
    long long size = -1;
    do {
        if (IsTemporaryName(record.cFileName)) size = record.nFileSizeLow;
    } while (size < 0 && FindNextFileA(search, &record));
    FindClose(search);
    return size;
}

// Two versions of one product whose files differ in size, so that the folder
// shows which file the running installer has reached.
std::vector<TPackageFile> VersionFiles(int version)
{
    std::vector<TPackageFile> files;
    files.push_back({"Morvane.exe", MakeTestBytes(3000 + version, false, 70 + version), false, false});
    for (std::size_t i = 0; i < FileCount; ++i) {
        char name[64];
        std::snprintf(name, sizeof(name), "Part%02u\\file%04u.txt", static_cast<unsigned>(i / 50),
                      static_cast<unsigned>(i));
        const std::size_t size = 40 + (i * 37) % 200 + static_cast<std::size_t>(version);
        files.push_back({name, MakeTestBytes(size, i % 3 == 0, static_cast<unsigned>(i * 2 + version)), false, false});
    }
    return files;
}

class KilledInstallerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        const std::string id = std::to_string(GetCurrentProcessId());
        folder_ = dir_.File("Program");
        for (int v = 0; v < 2; ++v) {
            product_[v].Name = "FaultKill" + id;
            product_[v].Registry = "SetupFaults\\Kill" + id;
            product_[v].Files = VersionFiles(v);
            product_[v].Build(dir_.File("Setup" + std::to_string(v) + ".exe"), folder_);
        }
    }
    void TearDown() override { product_[0].RemoveRegistration(); }

    std::string PathOf(const TPackageFile& file) const { return folder_ + "\\" + file.Name; }

    // The state after a completed run of version v.
    void ExpectComplete(int v, const std::string& moment)
    {
        SCOPED_TRACE(moment);
        std::size_t wrong = 0;
        std::string firstWrong;
        for (const TPackageFile& file : product_[v].Files) {
            if (ReadTestFile(PathOf(file)) == file.Contents) continue;
            if (wrong++ == 0) firstWrong = file.Name;
        }
        EXPECT_EQ(wrong, 0u) << "files not byte-exact, the first: " << firstWrong;
        EXPECT_EQ(product_[v].UninstallEntries(), 1);
        EXPECT_NE(UninstallListOf(folder_ + "\\uninstall.exe").find("file=" + PathOf(product_[v].Files[0]) + "\r\n"),
                  std::string::npos)
            << "the uninstaller is not whole";
        const std::string settings = ReadTestFile(folder_ + "\\Morvane.ini");
        if (settings_.empty()) {
            // The user's own setting is added once; every later run must keep it.
            ASSERT_NE(settings.find("Lng="), std::string::npos) << settings;
            settings_ = settings + "PersonsTerm=Mitarbeiter\r\n";
            WriteTestFile(folder_ + "\\Morvane.ini", settings_);
        }
        EXPECT_EQ(ReadTestFile(folder_ + "\\Morvane.ini"), settings_) << "the settings file is not complete";
        EXPECT_EQ(TemporaryLeftovers(folder_), std::vector<std::string>()) << "temporary files are left";
    }

    // The state right after a reinstall of version v was killed: every file
    // holds the bytes of one version whole, never a cut mix.
    void ExpectOldOrNew(int v, const std::string& moment)
    {
        SCOPED_TRACE(moment + ", right after the kill");
        std::size_t cut = 0;
        std::string firstCut;
        for (std::size_t i = 0; i < product_[v].Files.size(); ++i) {
            const std::string bytes = ReadTestFile(PathOf(product_[v].Files[i]));
            if (bytes == product_[v].Files[i].Contents || bytes == product_[1 - v].Files[i].Contents) continue;
            if (cut++ == 0) firstCut = product_[v].Files[i].Name;
        }
        EXPECT_EQ(cut, 0u) << "files cut by the kill, the first: " << firstCut;
        EXPECT_FALSE(UninstallListOf(folder_ + "\\uninstall.exe").empty()) << "the uninstaller was cut";
        EXPECT_EQ(ReadTestFile(folder_ + "\\Morvane.ini"), settings_) << "the settings file was cut";
    }

    TempDir dir_;
    std::string folder_;
    TProduct product_[2];
    std::string settings_;
};

} // namespace

TEST_F(KilledInstallerTest, EveryKilledRunIsCompletedByTheNextOne)
{
    struct TMoment {
        std::string Name;
        std::function<bool()> Seen;
    };
    std::vector<TMoment> moments;
    // The first run installs afresh: killed once the 50th file is there.
    const auto fileOf = [this](int v, std::size_t i) { return PathOf(product_[v].Files[i]); };
    moments.push_back({"fresh, file 50", [=] { return FileSizeAt(fileOf(0, 50)) >= 0; }});
    // Reinstalls alternate the versions; file i has reached the new version when its size changed.
    for (std::size_t k = 0; k < 17; ++k) {
        const int v = static_cast<int>((k + 1) % 2);
        const std::size_t i = 1 + k * (FileCount - 1) / 16;
        moments.push_back({"reinstall, file " + std::to_string(i), [=] {
                               return FileSizeAt(fileOf(v, i)) == static_cast<long long>(product_[v].Files[i].Contents.size());
                           }});
    }
    // In the program folder only the uninstaller's temporary is that large, and only the settings' that small.
    moments.push_back({"reinstall, writing the uninstaller", [this] { return TemporarySizeIn(folder_) > 100000; }});
    moments.push_back({"reinstall, rewriting the settings file", [this] {
                           const long long size = TemporarySizeIn(folder_);
                           return size > 0 && size < 1000;
                       }});

    int killed = 0;
    std::string missed;
    for (std::size_t m = 0; m < moments.size(); ++m) {
        const int v = static_cast<int>(m % 2);
        {
            TChild run(product_[v].InstallCommand(folder_));
            if (run.KillWhen(moments[m].Seen))
                ++killed;
            else
                missed += " [" + moments[m].Name + "]";
        }
        if (m > 0) ExpectOldOrNew(v, moments[m].Name);
        TChild again(product_[v].InstallCommand(folder_));
        ASSERT_EQ(again.Wait(), 0u) << "the run after the kill " << moments[m].Name << " failed";
        ExpectComplete(v, moments[m].Name);
        if (HasFatalFailure()) return;
    }
    std::printf("killed installers: %d of %zu runs ended by force at their moment, all %zu completed by the next run%s%s\n",
                killed, moments.size(), moments.size(), missed.empty() ? "" : "; ended before their moment:",
                missed.c_str());
    EXPECT_GE(killed, 15) << "too few runs were killed while running to cover the run";

    // A removal ended halfway, then a second removal.
    const int v = static_cast<int>((moments.size() - 1) % 2);
    const std::string middle = PathOf(product_[v].Files[FileCount / 2]);
    // As an installation killed before its move would leave it; the removal takes it along.
    WriteTestFile(FolderPartOf(middle) + TemporaryName(3), "cut");
    {
        TChild removal("\"" + folder_ + "\\uninstall.exe\" /uninst /S");
        const bool removalKilled = removal.KillWhen([&] { return FileSizeAt(middle) < 0; });
        std::printf("interrupted removal: %s\n", removalKilled ? "killed halfway" : "ended before the kill");
    }
    TChild second("\"" + folder_ + "\\uninstall.exe\" /uninst /S");
    ASSERT_EQ(second.Wait(), 0u);
    std::size_t left = 0;
    for (const TPackageFile& file : product_[v].Files) left += FileSizeAt(PathOf(file)) >= 0 ? 1 : 0;
    EXPECT_EQ(left, 0u) << "installed files left after the second removal";
    EXPECT_EQ(product_[v].UninstallEntries(), 0);
    EXPECT_FALSE(PathExists(FolderPartOf(middle))) << "an emptied folder stays";
}

// A first installation ended by force while it writes a file that is kept when
// it exists ("saveifnotexists") or the new settings file: the next run must not
// take a cut file for the user's and keep it.
TEST(KilledFirstInstall, NeitherAKeptFileNorTheSettingsFileIsLeftCut)
{
    TempDir dir;
    const std::string id = std::to_string(GetCurrentProcessId());
    const std::string folder = dir.File("Program");
    TProduct product;
    product.Name = "FaultKeep" + id;
    product.Registry = "SetupFaults\\Keep" + id;
    // Large enough that the kill lands while it is written.
    const std::string keys = MakeTestBytes(24u << 20, false, 91);
    product.Files = {{"Morvane.exe", MakeTestBytes(3000, false, 90), false, false},
                     {"Formulare\\Formular1 Ausgabe.rtf", "template", false, false},
                     {"Data\\keys.dat", keys, false, true}};
    product.Build(dir.File("Setup.exe"), folder);
    struct TCleanup {
        const TProduct& Product;
        ~TCleanup() { Product.RemoveRegistration(); }
    } cleanup{product};
    const std::string kept = folder + "\\Data\\keys.dat";
    const std::string settings = folder + "\\Morvane.ini";
    for (const std::string& target : {kept, settings}) {
        SCOPED_TRACE("killed once " + target + " was there");
        DeleteFileA(target.c_str()); // the killed run writes it afresh
        {
            TChild run(product.InstallCommand(folder));
            std::printf("%s: %s\n", target.c_str(),
                        run.KillWhen([&] { return FileSizeAt(target) >= 0; }) ? "killed" : "ended before the kill");
        }
        TChild again(product.InstallCommand(folder));
        ASSERT_EQ(again.Wait(), 0u);
        EXPECT_TRUE(ReadTestFile(kept) == keys) << "the kept file has " << FileSizeAt(kept) << " of " << keys.size()
                                                << " bytes and stays so";
        EXPECT_NE(ReadTestFile(settings).find("FormTemplate1=Formulare\\Formular1 Ausgabe.rtf\r\n"), std::string::npos)
            << "a cut settings file was taken for the user's: " << ReadTestFile(settings);
        EXPECT_EQ(TemporaryLeftovers(folder), std::vector<std::string>()) << "temporary files are left";
    }
}
