#include "engine/uninstall_list.h"

#include <gtest/gtest.h>

namespace {

// Records what the removal passes ask for, and simulates a file system of
// files and folders so that "remove when empty" has its real meaning.
class RecordingActions : public TUninstallActions {
public:
    std::vector<std::string> Files;   // existing files
    std::vector<std::string> Folders; // existing folders
    std::vector<std::string> Log;

    void DeleteFileAt(const std::string& path) override
    {
        Log.push_back("delete " + path);
        Erase(Files, path);
    }
    void RemoveEmptyFolder(const std::string& path) override
    {
        Log.push_back("rmdir " + path);
        const std::string prefix = !path.empty() && path.back() == '\\' ? path : path + "\\";
        for (const auto* list : {&Files, &Folders})
            for (const std::string& entry : *list)
                if (entry.compare(0, prefix.size(), prefix) == 0) return;
        Erase(Folders, path);
    }

private:
    static void Erase(std::vector<std::string>& list, const std::string& entry)
    {
        for (auto i = list.begin(); i != list.end(); ++i)
            if (*i == entry) {
                list.erase(i);
                return;
            }
    }
};

} // namespace

TEST(SetListValue, ReplacesInPlaceAppendsAndRemoves)
{
    TTextLines lines = {"UninstallKey=Morvane 2012-01-31 14.05.09", "lng=DE", "x=1"};
    SetListValue(lines, "Lng", "EN");
    EXPECT_EQ(lines, (TTextLines{"UninstallKey=Morvane 2012-01-31 14.05.09", "Lng=EN", "x=1"}))
        << "the line whose name matches without regard to case is replaced where it stands";
    SetListValue(lines, "New", "v=w");
    EXPECT_EQ(lines.back(), "New=v=w");
    SetListValue(lines, "LNG", "");
    EXPECT_EQ(lines, (TTextLines{"UninstallKey=Morvane 2012-01-31 14.05.09", "x=1", "New=v=w"}))
        << "an empty value removes the line";
    SetListValue(lines, "Missing", "");
    EXPECT_EQ(lines.size(), 3u) << "removing a missing name changes nothing";
}

TEST(UninstallList, LinesInTheirOrder)
{
    const TTextLines info = {"UninstallKey=Morvane 2012-01-31 14.05.09", "Lng=EN"};
    const TTextLines files = {"D:\\P\\Data\\a.txt", "D:\\P\\Data\\b.ada", "D:\\P\\Data\\a.txt"};
    const TTextLines folders = {"D:\\P", "D:\\P\\Data", "D:\\P\\Help"};
    EXPECT_EQ(BuildUninstallListText(info, files, folders),
              "UninstallKey=Morvane 2012-01-31 14.05.09\r\nLng=EN\r\n"
              "file=D:\\P\\Data\\a.txt\r\nfile=D:\\P\\Data\\b.ada\r\nfile=D:\\P\\Data\\a.txt\r\n"
              "dir=D:\\P\\Help\r\ndir=D:\\P\\Data\r\ndir=D:\\P\r\n")
        << "info lines, files in writing order with duplicates, folders in descending order";
    EXPECT_EQ(BuildUninstallListText({}, {}, {}), "");
}

TEST(UninstallList, KeptDataFiles)
{
    EXPECT_TRUE(IsKeptDataFile("D:\\P\\Data.ada"));
    EXPECT_TRUE(IsKeptDataFile("D:\\P\\Log.ALG"));
    EXPECT_TRUE(IsKeptDataFile("D:\\P\\x.y.Bdb"));
    EXPECT_FALSE(IsKeptDataFile("D:\\P\\Data.ada.bak"));
    EXPECT_FALSE(IsKeptDataFile("D:\\P.ada\\file"));
    EXPECT_FALSE(IsKeptDataFile("D:\\P\\ada"));
}

TEST(UninstallPasses, DeletesFilesButDataFilesAndKeepsTheirFolder)
{
    RecordingActions actions;
    actions.Files = {"D:\\P\\Data\\a.txt", "D:\\P\\Data\\b.ada"};
    actions.Folders = {"D:\\P\\Data"};
    RunUninstallPasses({"UninstallKey=Morvane 2012-01-31 14.05.09", "Lng=DE", "file=D:\\P\\Data\\a.txt",
                        "file=D:\\P\\Data\\b.ada", "dir=D:\\P\\Data"},
                       actions);
    EXPECT_EQ(actions.Log, (TTextLines{"delete D:\\P\\Data\\a.txt", "rmdir D:\\P\\Data", "rmdir D:\\P"}));
    EXPECT_EQ(actions.Files, TTextLines{"D:\\P\\Data\\b.ada"}) << "the data file stays";
    EXPECT_EQ(actions.Folders, TTextLines{"D:\\P\\Data"}) << "and so does its folder";
}

TEST(UninstallPasses, FoldersAscendingThenParentsDescending)
{
    RecordingActions actions;
    actions.Files = {"D:\\P\\Help\\en\\x.htm", "D:\\P\\Help\\y.htm", "D:\\P\\z.exe"};
    actions.Folders = {"D:\\", "D:\\P", "D:\\P\\Help", "D:\\P\\Help\\en"};
    actions.Files.push_back("D:\\other.txt"); // D:\ is never empty
    RunUninstallPasses({"file=D:\\P\\z.exe", "file=D:\\P\\Help\\y.htm", "file=D:\\P\\Help\\en\\x.htm",
                        "dir=D:\\P\\Help\\en", "dir=D:\\P\\Help", "dir=D:\\P"},
                       actions);
    EXPECT_EQ(actions.Log, (TTextLines{
                               "delete D:\\P\\Help\\en\\x.htm", "delete D:\\P\\Help\\y.htm", "delete D:\\P\\z.exe",
                               "rmdir D:\\P", "rmdir D:\\P\\Help", "rmdir D:\\P\\Help\\en",
                               "rmdir D:\\P\\Help", "rmdir D:\\P", "rmdir D:\\"}))
        << "files from the last line up; folders ascending; then each listed folder's parent, descending";
    EXPECT_EQ(actions.Folders, TTextLines{"D:\\"}) << "every listed folder is gone";
}

TEST(UninstallPasses, IgnoresOtherLinesAndPrefixesOfOtherCase)
{
    RecordingActions actions;
    RunUninstallPasses({"File=D:\\x.txt", "DIR=D:\\Q", "junk", "", "file=", "dir="}, actions);
    EXPECT_EQ(actions.Log, (TTextLines{"delete ", "rmdir ", "rmdir "}))
        << "only exact lower-case prefixes count; empty paths are passed on and fail harmlessly";
}

TEST(ListedMainProgram, IsTheFirstListedProgramOtherThanTheUninstaller)
{
    const TTextLines list = {"UninstallKey=Morvane 2012-01-31 14.05.09", "Lng=DE", "file=D:\\P\\readme.txt",
                             "file=D:\\P\\UNINSTALL.EXE",        "file=D:\\P\\Morvane.EXE",   "file=D:\\P\\Tool.exe",
                             "dir=D:\\P"};
    EXPECT_EQ(ListedMainProgram(list, "D:\\P\\uninstall.exe"), "D:\\P\\Morvane.EXE")
        << "any letter case; the running uninstaller is no main program";
    EXPECT_EQ(ListedMainProgram(list, "E:\\elsewhere\\uninstall.exe"), "D:\\P\\UNINSTALL.EXE");
    EXPECT_EQ(ListedMainProgram({"file=C:\\Tools/Hello\\uninstall.exe", "file=C:\\Tools/Hello\\Hello.exe"},
                                "C:\\Tools\\Hello\\uninstall.exe"),
              "C:\\Tools/Hello\\Hello.exe")
        << "the uninstaller listed with a slash is still itself";
    EXPECT_EQ(ListedMainProgram({"File=D:\\x.exe", "dir=D:\\y.exe", "file=D:\\a.exe.txt"}, ""), "")
        << "only \"file=\" lines, only the extension .exe";
}
