#include "engine/product_registry.h"

#include <windows.h>

#include <algorithm>

#include <gtest/gtest.h>

#include "container/sections.h"
#include "engine/commands.h"
#include "engine/engine_state.h"
#include "engine/registry_access.h"
#include "support/test_support.h"
#include "util/win_handles.h"

namespace {

const char* const UninstallKeyPath = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

std::string UniqueName(const char* base)
{
    return std::string(base) + "-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(GetTickCount());
}

RegKey OpenView(HKEY root, const std::string& path, REGSAM view, REGSAM access = KEY_READ)
{
    RegKey key;
    if (RegOpenKeyExA(root, path.c_str(), 0, access | view, key.receive()) != ERROR_SUCCESS) key.reset();
    return key;
}

void SetString(HKEY root, const std::string& path, const std::string& name, const std::string& value)
{
    RegKey key;
    ASSERT_EQ(RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | KEY_WOW64_32KEY, nullptr,
                              key.receive(), nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExA(key.get(), name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                             static_cast<DWORD>(value.size() + 1)),
              ERROR_SUCCESS);
}

std::string GetString(HKEY root, const std::string& path, const std::string& name)
{
    RegKey key = OpenView(root, path, KEY_WOW64_32KEY);
    std::string value;
    if (key) TryReadStringValue(key.get(), name, value);
    return value;
}

DWORD GetDword(HKEY root, const std::string& path, const std::string& name)
{
    DWORD value = 0xDEADBEEF;
    DWORD size = sizeof(value);
    DWORD type = 0;
    RegKey key = OpenView(root, path, KEY_WOW64_32KEY);
    if (!key || RegQueryValueExA(key.get(), name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) !=
                    ERROR_SUCCESS || type != REG_DWORD)
        return 0xDEADBEEF;
    return value;
}

std::vector<std::string> ValueNames(HKEY root, const std::string& path)
{
    std::vector<std::string> names;
    RegKey key = OpenView(root, path, KEY_WOW64_32KEY);
    char name[256];
    for (DWORD index = 0;; ++index) {
        DWORD length = sizeof(name);
        if (!key || RegEnumValueA(key.get(), index, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        names.emplace_back(name, length);
    }
    return names;
}

void DeleteTree(HKEY root, const std::string& path)
{
    const std::size_t separator = path.rfind('\\');
    RegKey parent = OpenView(root, path.substr(0, separator), KEY_WOW64_32KEY, KEY_ALL_ACCESS);
    if (parent) RegDeleteTreeA(parent.get(), path.substr(separator + 1).c_str());
}

// A product key of its own for every test, removed from both hives afterwards.
class ProductRegistryTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetEngineState();
        Engine.QuietErrors = true;
        product_ = "SetupTests\\" + UniqueName("Product");
        key_ = "SOFTWARE\\" + product_;
    }
    void TearDown() override
    {
        DeleteTree(HKEY_LOCAL_MACHINE, key_);
        DeleteTree(HKEY_CURRENT_USER, key_);
        ResetEngineState();
        UseSectionsFile("");
    }

    std::string product_;
    std::string key_;
    TempDir dir_;
};

} // namespace

TEST_F(ProductRegistryTest, WritesTheMachineKeyInThe32BitViewAndReadsTheUserKeyFirst)
{
    WriteProductValue("Exec", "ignored");
    EXPECT_EQ(ReadProductValue("Exec"), "") << "nothing happens without a registry key";

    Engine.RegistryKey = key_;
    WriteProductValue("Exec", "D:\\Apps\\Morvane\\Morvane.exe");
    EXPECT_EQ(GetString(HKEY_LOCAL_MACHINE, key_, "Exec"), "D:\\Apps\\Morvane\\Morvane.exe");
    EXPECT_FALSE(OpenView(HKEY_LOCAL_MACHINE, key_, KEY_WOW64_64KEY))
        << "the product key belongs to the 32-bit view only";
    EXPECT_EQ(ReadProductValue("Exec"), "D:\\Apps\\Morvane\\Morvane.exe");
    EXPECT_EQ(ReadProductValue(""), "");

    SetString(HKEY_CURRENT_USER, key_, "Exec", "E:\\User\\Morvane.exe");
    EXPECT_EQ(ReadProductValue("Exec"), "E:\\User\\Morvane.exe") << "the user's value comes first";
    SetString(HKEY_CURRENT_USER, key_, "Exec", "");
    EXPECT_EQ(ReadProductValue("Exec"), "D:\\Apps\\Morvane\\Morvane.exe") << "an empty user value falls through";

    Engine.RegistryKey = "\\" + key_;
    EXPECT_EQ(ReadProductValue("Exec"), "D:\\Apps\\Morvane\\Morvane.exe") << "a leading backslash means the root";

    RegKey key = OpenView(HKEY_LOCAL_MACHINE, key_, KEY_WOW64_32KEY, KEY_ALL_ACCESS);
    const DWORD number = 5;
    RegSetValueExA(key.get(), "Ver", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), sizeof(number));
    EXPECT_THROW(ReadProductValue("Ver"), ERegistryException) << "a number where a string is expected";
}

TEST_F(ProductRegistryTest, PathCommandPrefersTheRegisteredFolder)
{
    SetString(HKEY_LOCAL_MACHINE, key_, "Exec", "D:\\Apps\\Morvane\\Morvane.exe");
    SetString(HKEY_LOCAL_MACHINE, key_, "DataPath", "D:\\Data\\");
    PathCommand(SplitCommaText("action=path,PgmPath=E:\\Script\\,DataPath=E:\\ScriptData,Registry=" + product_ +
                               ",Version=2012-01,Lng=ENG1,\"MyStartMenu=E:\\Start Menu\\Morvane\""));
    EXPECT_EQ(Engine.RegistryKey, key_);
    EXPECT_EQ(Engine.SetupVersion, "2012-01");
    EXPECT_EQ(Engine.LanguageCode, "ENG") << "the first three characters of Lng";
    EXPECT_EQ(Engine.PgmPath, "D:\\Apps\\Morvane\\") << "the folder of the registered program";
    EXPECT_EQ(Engine.DataPath, "D:\\Data\\");
    EXPECT_EQ(Engine.MyStartMenu, "E:\\Start Menu\\Morvane\\");

    PathCommand(SplitCommaText("action=path,Registry=Other\\Product,Version=2013-01,Lng=FR,PgmPath=F:\\x"));
    EXPECT_EQ(Engine.RegistryKey, "SOFTWARE\\Other\\Product") << "each path line sets the key";
    EXPECT_EQ(Engine.SetupVersion, "2013-01");
    EXPECT_EQ(Engine.LanguageCode, "ENG") << "a language already set stays";
    EXPECT_EQ(Engine.PgmPath, "D:\\Apps\\Morvane\\") << "a folder already set stays";
}

TEST_F(ProductRegistryTest, DataPathInsideTheProgramFolderFollowsTheChosenFolder)
{
    const TParams line = SplitCommaText("action=path,PgmPath=E:\\Script\\,DataPath=*PgmPath*\\Data,Registry=" + product_);
    PathCommand(line); // the paths-only run
    EXPECT_EQ(Engine.DataPath, "E:\\Script\\Data\\");
    Engine.PgmPath = "F:\\Chosen\\"; // the user's choice
    PathCommand(line);                 // the full run
    EXPECT_EQ(Engine.DataPath, "F:\\Chosen\\Data\\");

    ResetEngineState();
    SetString(HKEY_LOCAL_MACHINE, key_, "DataPath", "D:\\Data\\");
    PathCommand(line);
    Engine.PgmPath = "F:\\Chosen\\";
    PathCommand(line);
    EXPECT_EQ(Engine.DataPath, "D:\\Data\\") << "a registered data folder wins";

    ResetEngineState();
    SetString(HKEY_LOCAL_MACHINE, key_, "DataPath", "");
    const TParams fixed = SplitCommaText("action=path,PgmPath=E:\\Script\\,DataPath=E:\\Shared,Registry=" + product_);
    PathCommand(fixed);
    Engine.PgmPath = "F:\\Chosen\\";
    PathCommand(fixed);
    EXPECT_EQ(Engine.DataPath, "E:\\Shared\\") << "a data folder that does not name *PgmPath* stays";
}

TEST_F(ProductRegistryTest, PathCommandIgnoresDevelopmentFolders)
{
    for (const char* exec : {"C:\\Sources\\Morvane\\Morvane.exe", "s:\\APPS\\Morvane.exe"}) {
        ResetEngineState();
        SetString(HKEY_LOCAL_MACHINE, key_, "Exec", exec);
        SetString(HKEY_LOCAL_MACHINE, key_, "DataPath", "C:\\Sources\\Data\\");
        PathCommand(SplitCommaText("action=path,PgmPath=E:\\Script,DataPath=E:\\ScriptData,Registry=" + product_));
        EXPECT_EQ(Engine.PgmPath, "E:\\Script\\") << exec;
        EXPECT_EQ(Engine.DataPath, "E:\\ScriptData\\") << exec;
    }
    ResetEngineState();
    PathCommand(SplitCommaText("action=path,Registry=" + product_ + "\\Missing"));
    EXPECT_EQ(Engine.PgmPath, "") << "no registered program and no script folder";
    EXPECT_EQ(Engine.ErrorText, "");
}

TEST_F(ProductRegistryTest, InstalledVersionIsNewerNeedsTheRegisteredProgram)
{
    Engine.RegistryKey = key_;
    Engine.SetupVersion = "2012-01";
    const std::string program = dir_.File("Morvane.exe");
    SetString(HKEY_LOCAL_MACHINE, key_, "Ver", "2012-03");
    SetString(HKEY_LOCAL_MACHINE, key_, "Exec", program);
    EXPECT_FALSE(InstalledVersionIsNewer()) << "the registered program does not exist";
    WriteTestFile(program, "MZ");
    EXPECT_TRUE(InstalledVersionIsNewer());
    SetString(HKEY_LOCAL_MACHINE, key_, "Ver", "2013");
    EXPECT_FALSE(InstalledVersionIsNewer()) << "a version without '-' is not compared";
    SetString(HKEY_LOCAL_MACHINE, key_, "Ver", "");
    EXPECT_FALSE(InstalledVersionIsNewer());
    SetString(HKEY_LOCAL_MACHINE, key_, "Ver", "2099-01");
    Engine.SetupVersion.clear();
    EXPECT_FALSE(InstalledVersionIsNewer()) << "an installer without version never asks";
}

namespace {

// An own file of image bytes and a begin marker, so that the registration can
// write the bare uninstaller image.
class UninstallRegistrationTest : public ProductRegistryTest {
protected:
    void SetUp() override
    {
        ProductRegistryTest::SetUp();
        name_ = UniqueName("SetupTestProduct");
        // Every 64-bit Windows has the 32-bit view of the list; a new Wine prefix may not.
        RegKey list;
        RegCreateKeyExA(HKEY_LOCAL_MACHINE, UninstallKeyPath, 0, nullptr, 0, KEY_READ | KEY_WOW64_32KEY, nullptr,
                        list.receive(), nullptr);
        const std::string installer = dir_.File("Setup.exe");
        WriteTestFile(installer, image_ + MakeSection(SectionBeginningMark, "") + MakeSection(SectionSetupCmd, "x"));
        UseSectionsFile(installer);
        Engine.PgmPath = dir_.File("Program Files\\Morvane") + "\\";
        Engine.MainProgram = Engine.PgmPath + "Morvane.exe";
    }
    void TearDown() override
    {
        RegKey list = OpenView(HKEY_LOCAL_MACHINE, UninstallKeyPath, KEY_WOW64_32KEY, KEY_ALL_ACCESS);
        for (const std::string& subkey : SubkeyNames(list.get()))
            if (subkey.compare(0, name_.size(), name_) == 0) RegDeleteTreeA(list.get(), subkey.c_str());
        ProductRegistryTest::TearDown();
    }
    std::vector<std::string> Entries()
    {
        std::vector<std::string> entries;
        RegKey list = OpenView(HKEY_LOCAL_MACHINE, UninstallKeyPath, KEY_WOW64_32KEY);
        for (const std::string& subkey : SubkeyNames(list.get()))
            if (subkey.compare(0, name_.size(), name_) == 0) entries.push_back(subkey);
        return entries;
    }
    std::string Entry(const std::string& subkey) const { return std::string(UninstallKeyPath) + "\\" + subkey; }

    const std::string image_ = "MZ image of the installer " + MakeTestBytes(3000, false, 7);
    std::string name_;
};

} // namespace

TEST_F(UninstallRegistrationTest, WritesImageAndEveryValueInOrder)
{
    WriteTestFile(dir_.File("Readme.txt"), "read me");
    CreateDirectoryA(dir_.File("Program Files").c_str(), nullptr);
    CreateDirectoryA(Engine.PgmPath.c_str(), nullptr);
    WriteTestFile(Engine.MainProgram, std::string(5000, 'x'));
    Engine.WrittenFiles.push_back(Engine.MainProgram);
    Engine.WrittenFiles.push_back(Engine.MainProgram); // counted once
    Engine.SetupVersion = "2012-01";
    UninstCommand(SplitCommaText("action=uninst,pgm=*PgmPath*\\uninstall.exe,param=/uninst,\"name=" + name_ +
                                 "\",Publisher=Brumo,URLInfoAbout=http://a.example/,HelpLink=http://b.example/," +
                                 "URLUpdateInfo=*PgmPath*,\"RegOwner=A Owner\",URLUpdateInfo=second," +
                                 "\"Readme=" + dir_.File("Readme.txt") + "\""));
    EXPECT_EQ(Engine.ErrorText, "");
    const std::string uninstaller = Engine.PgmPath + "uninstall.exe";
    EXPECT_EQ(Engine.UninstallerPath, uninstaller);
    EXPECT_EQ(ReadTestFile(uninstaller), image_) << "the bare image, up to the begin marker";
    EXPECT_EQ(Engine.WrittenFiles.back(), uninstaller);

    const std::vector<std::string> entries = Entries();
    ASSERT_EQ(entries.size(), 1u);
    const std::string& keyName = entries[0];
    ASSERT_EQ(keyName.size(), name_.size() + 20) << keyName;
    EXPECT_EQ(keyName.substr(name_.size() + 5, 1) + keyName.substr(name_.size() + 8, 1) +
                  keyName.substr(name_.size() + 14, 1) + keyName.substr(name_.size() + 17, 1),
              "--..")
        << "name, blank, yyyy-mm-dd hh.nn.ss: " << keyName;
    EXPECT_EQ(Engine.UninstallInfo, std::vector<std::string>{"UninstallKey=" + keyName});

    const std::string entry = Entry(keyName);
    // The registry lists values sorted by name, so only the set can be checked.
    std::vector<std::string> expected = {"DisplayName", "DisplayIcon", "UninstallString", "Publisher",
                                         "URLInfoAbout", "HelpLink", "URLUpdateInfo", "RegOwner", "Readme",
                                         "NoModify", "NoRepair",
                                         "QuietUninstallString", "InstallLocation", "EstimatedSize", "DisplayVersion"};
    std::vector<std::string> names = ValueNames(HKEY_LOCAL_MACHINE, entry);
    std::sort(expected.begin(), expected.end());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, expected);
    const std::string displayName = GetString(HKEY_LOCAL_MACHINE, entry, "DisplayName");
    EXPECT_EQ(displayName.substr(0, name_.size() + 15), name_ + " (Installation ") << displayName;
    EXPECT_EQ(displayName.back(), ')');
    EXPECT_EQ(GetString(HKEY_LOCAL_MACHINE, entry, "DisplayIcon"), Engine.MainProgram);
    const std::string command = "\"" + uninstaller + "\" /uninst \"UninstallKey=" + keyName + "\"";
    EXPECT_EQ(GetString(HKEY_LOCAL_MACHINE, entry, "UninstallString"), command)
        << "a path with blanks is quoted";
    EXPECT_EQ(GetString(HKEY_LOCAL_MACHINE, entry, "Publisher"), "Brumo");
    EXPECT_EQ(GetString(HKEY_LOCAL_MACHINE, entry, "HelpLink"), "http://b.example/");
    EXPECT_EQ(GetString(HKEY_LOCAL_MACHINE, entry, "URLUpdateInfo"), "*PgmPath*")
        << "written unexpanded, the first of two items";
    EXPECT_EQ(GetString(HKEY_LOCAL_MACHINE, entry, "RegOwner"), "A Owner");
    EXPECT_EQ(GetString(HKEY_LOCAL_MACHINE, entry, "Readme"), dir_.File("Readme.txt"));
    EXPECT_EQ(GetDword(HKEY_LOCAL_MACHINE, entry, "NoModify"), 1u);
    EXPECT_EQ(GetDword(HKEY_LOCAL_MACHINE, entry, "NoRepair"), 1u);
    EXPECT_EQ(GetString(HKEY_LOCAL_MACHINE, entry, "QuietUninstallString"), command + " /S");
    EXPECT_EQ(GetString(HKEY_LOCAL_MACHINE, entry, "InstallLocation"), Engine.PgmPath);
    EXPECT_EQ(GetDword(HKEY_LOCAL_MACHINE, entry, "EstimatedSize"), 8u)
        << "5000 bytes of the program and the image, in whole KB rounded up";
    EXPECT_EQ(GetString(HKEY_LOCAL_MACHINE, entry, "DisplayVersion"), "2012-01");
}

TEST_F(UninstallRegistrationTest, ReusesTheFirstEntryOfTheSamePlaceAndDropsDuplicates)
{
    CreateDirectoryA(dir_.File("Program Files").c_str(), nullptr);
    CreateDirectoryA(Engine.PgmPath.c_str(), nullptr);
    const std::string uninstaller = Engine.PgmPath + "uninstall.exe";
    WriteTestFile(uninstaller, "an earlier uninstaller");
    const std::string quoted = "\"" + uninstaller + "\"";
    SetString(HKEY_LOCAL_MACHINE, Entry(name_ + " 2001-01-01 00.00.00"), "UninstallString", quoted + " /uninst x");
    SetString(HKEY_LOCAL_MACHINE, Entry(name_ + " 2001-01-01 00.00.00"), "Comments", "kept");
    SetString(HKEY_LOCAL_MACHINE, Entry(name_ + " 2002-01-01 00.00.00"), "UninstallString", quoted + " /uninst y");
    SetString(HKEY_LOCAL_MACHINE, Entry(name_ + " 2002-01-01 00.00.00\\Sub"), "x", "below");
    SetString(HKEY_LOCAL_MACHINE, Entry(name_ + " 2003-01-01 00.00.00"), "UninstallString", "\"D:\\elsewhere.exe\"");
    SetString(HKEY_LOCAL_MACHINE, Entry(name_ + "X 2004-01-01 00.00.00"), "UninstallString", quoted);

    UninstCommand(SplitCommaText("action=uninst,\"name=" + name_ + "\""));
    EXPECT_EQ(ReadTestFile(uninstaller), "an earlier uninstaller") << "an existing uninstaller is left alone";
    EXPECT_TRUE(Engine.WrittenFiles.empty());
    EXPECT_EQ(Entries(), (std::vector<std::string>{name_ + " 2001-01-01 00.00.00", name_ + " 2003-01-01 00.00.00",
                                                   name_ + "X 2004-01-01 00.00.00"}))
        << "the duplicate of the same place is gone with its subkeys; other places and names stay";
    const std::string reused = Entry(name_ + " 2001-01-01 00.00.00");
    EXPECT_EQ(Engine.UninstallInfo, std::vector<std::string>{"UninstallKey=" + name_ + " 2001-01-01 00.00.00"});
    const std::string command = GetString(HKEY_LOCAL_MACHINE, reused, "UninstallString");
    EXPECT_EQ(command.substr(0, quoted.size() + 24 + name_.size()),
              quoted + " /uninst \"UninstallKey=" + name_ + " ")
        << "the command line names the new registration";
    EXPECT_EQ(command.find("2001-01-01"), std::string::npos) << command;
    EXPECT_EQ(GetString(HKEY_LOCAL_MACHINE, reused, "Comments"), "kept") << "values not written again stay";
    EXPECT_EQ(GetString(HKEY_LOCAL_MACHINE, reused, "DisplayVersion"), "") << "no version in the script";
}

TEST_F(UninstallRegistrationTest, NameDefaultsToTheMainProgramAndNothingWithoutOne)
{
    Engine.MainProgram.clear();
    Engine.PgmPath = dir_.Path().string() + "\\";
    UninstCommand(SplitCommaText("action=uninst"));
    EXPECT_EQ(Engine.UninstallerPath, dir_.File("uninstall.exe")) << "the default uninstaller path";
    EXPECT_TRUE(Engine.UninstallInfo.empty()) << "no name, no registration";

    UseSectionsFile(dir_.File("missing.exe"));
    Engine.UninstallerPath.clear();
    UninstCommand(SplitCommaText("action=uninst,name=x"));
    EXPECT_EQ(Engine.UninstallerPath, "") << "nothing happens without the own file";
}

TEST_F(UninstallRegistrationTest, DeleteUninstallKeyIgnoresShortNames)
{
    const std::string keyName = name_ + " 2001-01-01 00.00.00";
    SetString(HKEY_LOCAL_MACHINE, Entry(keyName + "\\Sub"), "x", "y");
    for (const char* shortName : {"", "  \t ", "ab", " ab "}) DeleteUninstallKey(shortName);
    RegKey list = OpenView(HKEY_LOCAL_MACHINE, UninstallKeyPath, KEY_WOW64_32KEY);
    EXPECT_TRUE(list) << "the uninstall list itself is never touched";
    EXPECT_EQ(Entries().size(), 1u);
    DeleteUninstallKey(keyName);
    EXPECT_TRUE(Entries().empty()) << "the entry goes with everything below it";
    DeleteUninstallKey(keyName); // a missing key is no error
}
