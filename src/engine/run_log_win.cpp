#include "engine/run_log.h"

#include <windows.h>

#include <exception>

#include "container/sections.h"
#include "container/zlib_wrapper.h"
#include "engine/command_text.h"
#include "engine/engine_state.h"
#include "engine/exit_codes.h"
#include "util/file_helpers.h"
#include "util/nt_security.h"
#include "util/wide_text.h"
#include "util/win_handles.h"

#if __has_include("setup_version.h")
#include "setup_version.h"
#else
#define SETUP_VERSION_TEXT "unknown"
#endif

namespace {

std::string WideToUtf8(const wchar_t* text, int length)
{
    const int size = WideCharToMultiByte(CP_UTF8, 0, text, length, nullptr, 0, nullptr, nullptr);
    if (size <= 0) return std::string();
    std::string bytes(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, length, bytes.data(), size, nullptr, nullptr);
    return bytes;
}

// Each line is handed to the system at once: a killed run keeps what it wrote.
class TFileSink : public TRunLogSink {
public:
    explicit TFileSink(HANDLE file) : file_(file) {}
    void Write(const std::string& ansiLine) override
    {
        WriteUtf8(AnsiToUtf8(ansiLine));
    }
    void WriteUtf8(std::string line)
    {
        line += "\r\n";
        DWORD written = 0;
        WriteFile(file_.get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    }

private:
    static std::string AnsiToUtf8(const std::string& text)
    {
        if (text.empty()) return text;
        const int size = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
        if (size <= 0) return std::string();
        WideText wide(static_cast<std::size_t>(size), L'\0');
        MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), wide.data(), size);
        return WideToUtf8(wide.data(), size);
    }
    FileHandle file_;
};

TFileSink* OpenSink = nullptr;

bool WindowMode = false;

// "yyyy-mm-dd hh:nn:ss"
std::string Time(const SYSTEMTIME& t)
{
    std::string text = std::to_string(t.wYear);
    const char separators[] = "-- ::";
    int i = 0;
    for (unsigned value : {t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond}) {
        text += separators[i++];
        text += static_cast<char>('0' + value / 10);
        text += static_cast<char>('0' + value % 10);
    }
    return text;
}

// The product a default log is named after, from the own file's script or
// uninstall list; a damaged one names nothing.
std::string OwnProduct()
{
    try {
        LoadOwnSections();
        std::string data;
        if (GetSection(SectionSetupCmd, OwnSectionPart, data) && !data.empty())
            return ProductOfScript(SplitLines(DecompressString(data)));
        if (GetSection(SectionUninst, OwnSectionPart, data) && !data.empty())
            return ProductOfUninstallList(SplitLines(DecompressString(data)));
    } catch (const std::exception&) {
    }
    return std::string();
}

} // namespace

std::string SystemErrorText(unsigned long error)
{
    char* buffer = nullptr;
    const DWORD length =
        FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                       nullptr, error, 0, reinterpret_cast<char*>(&buffer), 0, nullptr);
    std::string text = length && buffer ? std::string(buffer, length) : std::string();
    LocalFree(buffer);
    for (char& c : text)
        if (c == '\r' || c == '\n') c = ' ';
    while (!text.empty() && text.back() == ' ') text.pop_back();
    return text;
}

unsigned long WriteFailureKind(const std::string& path, unsigned long error)
{
    if (error != ERROR_ACCESS_DENIED) return error;
    // Asking for write access while sharing everything fails only for a file
    // that someone holds open without sharing (or runs).
    FileHandle probe(CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                 nullptr, OPEN_EXISTING, 0, nullptr));
    return !probe && GetLastError() == ERROR_SHARING_VIOLATION ? ERROR_SHARING_VIOLATION : error;
}

void StartRunLog(bool unattended)
{
    std::string path;
    if (!RunLogRequested(Engine.CommandLineParams, path)) return;
    SYSTEMTIME now;
    GetLocalTime(&now);
    if (path.empty()) {
        char folder[MAX_PATH + 1] = {};
        const DWORD length = GetTempPathA(MAX_PATH + 1, folder);
        path = std::string(folder, length <= MAX_PATH ? length : 0) +
               DefaultRunLogName(OwnProduct(), now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond);
    }
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return; // the run goes on without its log
    static TFileSink sink(file);
    WindowMode = !unattended;
    OpenSink = &sink;
    SetRunLogSink(OpenSink);
    sink.WriteUtf8(std::string("Setup ") + SETUP_VERSION_TEXT + (Engine.UninstallMode ? ", removal" : ", installation") +
                   (unattended ? ", unattended" : ", in the window"));
    const wchar_t* commandLine = GetCommandLineW();
    sink.WriteUtf8("command line: " + WideToUtf8(commandLine, lstrlenW(commandLine)));
    sink.Write("started: " + Time(now));
    sink.Write("program: " + OwnExecutablePath());
    sink.Write(std::string("administrator: ") + (UserIsAdministrator() ? "yes" : "no"));
}

void FinishRunLog(int exitCode)
{
    if (!OpenSink) return;
    // The window always ends with 0; what an unattended run would have said stands before.
    const int outcome = FirstFailureCode();
    for (std::size_t i = 0; WindowMode && i < ExitCodeCount; ++i)
        if (ExitCodeTable[i].Code == outcome)
            RunLogLine("outcome: " + std::to_string(outcome) + " (" + ExitCodeTable[i].Meaning + ")");
    RunLogLine("exit code " + std::to_string(exitCode));
    SetRunLogSink(nullptr);
    OpenSink = nullptr;
}
