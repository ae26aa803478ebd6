#include "engine/upgrade_check.h"

#include <gtest/gtest.h>

#include <map>

#include "engine/earlier_installation.h"

namespace {

struct TFakeFile {
    std::uint64_t Size;
    TSha256 Hash;
    unsigned long Replaceable; // 0, or the error opening it for writing gives
};

class TFakeProbe : public TTargetProbe {
public:
    std::map<std::string, TFakeFile> Files;
    std::map<std::string, std::uint64_t> Free;
    std::vector<std::string> Hashed;
    bool Exists(const std::string& path, std::uint64_t& size) override
    {
        const auto file = Files.find(path);
        if (file == Files.end()) return false;
        size = file->second.Size;
        return true;
    }
    void HashFiles(const std::vector<std::string>& paths, std::vector<TSha256>& digests,
                   std::vector<char>& hashed) override
    {
        for (std::size_t i = 0; i < paths.size(); ++i) {
            Hashed.push_back(paths[i]);
            digests[i] = Files.at(paths[i]).Hash;
            hashed[i] = 1;
        }
    }
    unsigned long Replaceable(const std::string& path) override { return Files.at(path).Replaceable; }
    bool FreeBytes(const std::string& volume, std::uint64_t& bytes) override
    {
        if (!Free.count(volume)) return false;
        bytes = Free.at(volume);
        return true;
    }
};

TPlannedFile Planned(const std::string& path, std::uint64_t size, unsigned char hash, bool keep = false)
{
    TPlannedFile file;
    file.Path = path;
    file.Size = size;
    file.KeepExisting = keep;
    file.HasHash = true;
    file.Hash.fill(hash);
    return file;
}

std::string Expand(const std::string& name)
{
    return "C:\\P\\" + name.substr(name.find('\\') + 1);
}

} // namespace

TEST(UpgradeCheck, OnlyAMatchingFileIsSkippedAndTheFirstObstacleStopsEverything)
{
    const TSha256 one = [] { TSha256 h; h.fill(1); return h; }();
    const TSha256 two = [] { TSha256 h; h.fill(2); return h; }();
    TFakeProbe probe;
    probe.Files = {{"C:\\P\\same.txt", {10, one, 32}},   // matching, and in use: no obstacle
                   {"C:\\P\\other.txt", {10, two, 0}},   // same size, other bytes
                   {"C:\\P\\grown.txt", {9, one, 0}},    // another size: not hashed
                   {"C:\\P\\user.cfg", {5, two, 32}}};   // kept by saveifnotexists
    probe.Free = {{"C:\\", 100}, {"D:\\", 10}};
    std::vector<TPlannedFile> files = {Planned("C:\\P\\same.txt", 10, 1), Planned("C:\\P\\other.txt", 10, 1),
                                       Planned("C:\\P\\grown.txt", 10, 1), Planned("C:\\P\\user.cfg", 5, 1, true),
                                       Planned("C:\\P\\SAME.TXT", 10, 1), Planned("D:\\new.bin", 10, 1)};
    for (std::size_t i = 0; i < files.size(); ++i) files[i].Piece = i;
    TCheckResult result = CheckPlannedFiles(files, probe);
    EXPECT_EQ(result.FailedPath, "");
    EXPECT_EQ(result.Unchanged, std::vector<std::string>{"C:\\P\\SAME.TXT"}) << "named again: written the second time";
    EXPECT_EQ(result.UnchangedPieces, std::vector<std::size_t>{0});
    EXPECT_EQ(probe.Hashed, (std::vector<std::string>{"C:\\P\\same.txt", "C:\\P\\other.txt"}));

    // Room is counted per drive for what is written: 10 + 10 + 10 on C:, 10 on D:.
    probe.Free["C:\\"] = 29;
    result = CheckPlannedFiles(files, probe);
    EXPECT_EQ(result.FailedPath, "C:\\P\\other.txt");
    EXPECT_EQ(result.Error, 112u);
    probe.Free["C:\\"] = 30;
    probe.Files["C:\\P\\grown.txt"].Replaceable = 5;
    probe.Files["C:\\P\\other.txt"].Replaceable = 32;
    result = CheckPlannedFiles(files, probe);
    EXPECT_EQ(result.FailedPath, "C:\\P\\other.txt") << "the first file that cannot be replaced";
    EXPECT_EQ(result.Error, 32u);

    const std::vector<std::string> lines = {
        "action=path,PgmPath=x", "action=save,OrigLen=3,Filename=*PgmPath*\\a.txt,Hash=" + std::string(64, 'a'),
        "action=save,OrigLen=0,Filename=*PgmPath*\\zero.txt", "action=saveifnotexists,OrigLen=4,Filename=*PgmPath*\\b",
        "action=uninst,name=A", "action=icon,file=*PgmPath*\\a.txt,lnk=x"};
    const std::vector<TPlannedFile> planned = PlannedFilesOf(lines, 1, Expand, 1000);
    ASSERT_EQ(planned.size(), 3u) << "a line that will fail is not planned";
    EXPECT_EQ(planned[0].Path, "C:\\P\\a.txt");
    EXPECT_TRUE(planned[0].HasHash && planned[0].Hash[31] == 0xAA && !planned[0].KeepExisting);
    EXPECT_TRUE(!planned[1].HasHash && planned[1].KeepExisting && planned[1].Size == 4u);
    EXPECT_EQ(planned[1].Piece, 2u) << "numbered as the prefetch numbers pieces, the failing line included";
    EXPECT_TRUE(planned[2].Path == "C:\\P\\uninstall.exe" && planned[2].Size == 1000u && !planned[2].HasHash)
        << "the uninstaller is replaced at the end of the run: " << planned[2].Path;
    EXPECT_EQ(VolumeOf("\\\\server\\share\\dir\\f"), "\\\\server\\share\\");
}

TEST(UpgradeCheck, AnEarlierListsFilesStayListedUnlessWrittenKeptOrGone)
{
    const std::vector<std::string> earlier = {"UninstallKey=X 2020", "file=C:\\P\\a.txt", "file=C:\\P\\Old\\gone.txt",
                                              "file=C:\\P\\Old\\left.txt", "file=C:\\P\\user.cfg",
                                              "file=C:\\P\\uninstall.exe", "file=C:\\Else\\x.txt", "dir=C:\\P\\Old",
                                              "dir=C:\\P"};
    const TCarriedEntries carried =
        CarriedEntries(earlier, {"c:\\p\\A.TXT"}, {"C:\\P\\user.cfg"}, "C:\\P\\uninstall.exe",
                       [](const std::string& path) { return path.find("gone") == std::string::npos; });
    EXPECT_EQ(carried.Files, (std::vector<std::string>{"C:\\P\\Old\\left.txt", "C:\\Else\\x.txt"}));
    EXPECT_EQ(carried.Folders, std::vector<std::string>{"C:\\P\\Old"}) << "only folders the earlier list named";
}
