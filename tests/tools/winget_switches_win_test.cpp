// The InstallerSwitches of `mksetup manifest`, with winget's tokens replaced
// by paths holding blanks as winget puts them in (unquoted), reach the
// installer whole through the system's command-line splitting and the
// installer's own argument reading.
#include <windows.h>

#include <gtest/gtest.h>

#include "engine/command_line.h"
#include "engine/run_log.h"
#include "engine/unattended_options.h"
#include "mksetup/winget_manifest.h"

namespace {

std::string Replaced(std::string text, const std::string& token, const std::string& value)
{
    const std::size_t at = text.find(token);
    return at == std::string::npos ? text : text.replace(at, token.size(), value);
}

std::wstring Wide(const std::string& ascii)
{
    return std::wstring(ascii.begin(), ascii.end());
}

} // namespace

TEST(WingetSwitches, PathsWithBlanksReachTheInstallerWhole)
{
    const std::string folder = "C:\\Program Files\\Brumo Apps\\Morvane";
    const std::string log = "C:\\Users\\Some One\\AppData\\Local\\Temp\\WinGet\\Brumo.Morvane 2012-01\\install log.txt";
    std::string commandLine = "\"C:\\Down loads\\Setup-Morvane.exe\"";
    for (std::size_t i = 0; i < WingetSwitchCount; ++i)
        commandLine += " " + Replaced(Replaced(WingetSwitches[i].Value, "<INSTALLPATH>", folder), "<LOGPATH>", log);

    const std::vector<std::string> arguments = CommandLineArguments(Wide(commandLine).c_str());
    EXPECT_TRUE(SilentModeRequested(arguments)) << commandLine;
    TUnattendedOptions options;
    std::string message;
    ASSERT_TRUE(ParseUnattendedArguments(arguments, false, options, message)) << message << "\n" << commandLine;
    EXPECT_TRUE(options.HasFolder);
    EXPECT_EQ(options.Folder, folder);
    std::string logPath;
    ASSERT_TRUE(RunLogRequested(arguments, logPath)) << commandLine;
    EXPECT_EQ(logPath, log);

    // The same switches unquoted would split at the blank and be refused.
    const std::vector<std::string> bare = CommandLineArguments(Wide("Setup.exe /S /D=" + folder).c_str());
    EXPECT_FALSE(ParseUnattendedArguments(bare, false, options, message));
}
