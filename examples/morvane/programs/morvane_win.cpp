// Morvane.exe, the demo product's main program. It opens no window: it records
// how it was started (its path, command line, arguments) and the settings
// file it finds beside itself, so that a test or a person can check the
// launch after an installation. The record goes to the file named by the
// environment variable MORVANE_LAUNCH_RECORD, else to %TEMP%\Morvane-launch.txt.
#include <windows.h>

#include <cstdlib>
#include <string>

#include "util/win_handles.h"

namespace {

std::string OwnPath()
{
    char buffer[MAX_PATH * 4];
    const DWORD length = GetModuleFileNameA(nullptr, buffer, sizeof(buffer));
    return std::string(buffer, length < sizeof(buffer) ? length : 0);
}

std::string EnvironmentValue(const char* name)
{
    char buffer[MAX_PATH * 4];
    const DWORD length = GetEnvironmentVariableA(name, buffer, sizeof(buffer));
    return length > 0 && length < sizeof(buffer) ? std::string(buffer, length) : std::string();
}

bool ReadFileText(const std::string& path, std::string& text)
{
    FileHandle file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(file.get(), buffer, sizeof(buffer), &got, nullptr) && got > 0) text.append(buffer, got);
    return true;
}

void WriteFileText(const std::string& path, const std::string& text)
{
    FileHandle file(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return;
    DWORD written = 0;
    WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

} // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    const std::string program = OwnPath();
    const std::size_t dot = program.find_last_of('.');
    const std::string settings = (dot == std::string::npos ? program : program.substr(0, dot)) + ".ini";

    std::string record = "program=" + program + "\r\n";
    record += "commandline=" + std::string(GetCommandLineA()) + "\r\n";
    record += "argc=" + std::to_string(__argc - 1) + "\r\n";
    for (int i = 1; i < __argc; ++i) record += "arg" + std::to_string(i) + "=" + __argv[i] + "\r\n";
    std::string settingsText;
    const bool found = ReadFileText(settings, settingsText);
    record += "settings=" + settings + "\r\n";
    record += std::string("settingsfound=") + (found ? "yes" : "no") + "\r\n";
    if (found) record += "[settings]\r\n" + settingsText;

    std::string target = EnvironmentValue("MORVANE_LAUNCH_RECORD");
    if (target.empty()) target = EnvironmentValue("TEMP") + "\\Morvane-launch.txt";
    WriteFileText(target, record);
    return 0;
}
