#include "engine/run_log.h"

#include "engine/command_line.h"
#include "engine/command_text.h"
#include "engine/engine_state.h"
#include "engine/exit_codes.h"

namespace {

TRunLogSink* Sink = nullptr;

void AppendTwoDigits(std::string& text, unsigned value)
{
    text += static_cast<char>('0' + value / 10 % 10);
    text += static_cast<char>('0' + value % 10);
}

} // namespace

void SetRunLogSink(TRunLogSink* sink)
{
    Sink = sink;
}

bool RunLogRequested(const std::vector<std::string>& arguments, std::string& path)
{
    for (const std::string& argument : arguments) {
        const std::string lower = AsciiLowerCase(argument.substr(0, 5));
        if (lower == "/log" && argument.size() == 4) {
            path.clear();
            return true;
        }
        if (lower == "/log=") {
            path = argument.substr(5);
            return true;
        }
    }
    return false;
}

std::string DefaultRunLogName(std::string product, unsigned year, unsigned month, unsigned day, unsigned hour,
                              unsigned minute, unsigned second)
{
    if (product.empty()) product = "Setup";
    for (char& c : product)
        if (static_cast<unsigned char>(c) < 32 || std::string("\\/:*?\"<>|").find(c) != std::string::npos) c = '_';
    std::string name = product + "-" + std::to_string(year);
    AppendTwoDigits(name, month);
    AppendTwoDigits(name, day);
    name += '-';
    AppendTwoDigits(name, hour);
    AppendTwoDigits(name, minute);
    AppendTwoDigits(name, second);
    return name + ".log";
}

std::string ProductOfScript(const std::vector<std::string>& scriptLines)
{
    for (const std::string& line : scriptLines) {
        const TParams params = SplitCommaText(line);
        if (ParamValue(params, "action") != "path") continue;
        std::string registry = ParamValue(params, "Registry");
        while (!registry.empty() && registry.back() == '\\') registry.pop_back();
        return registry.substr(registry.find_last_of('\\') + 1);
    }
    return std::string();
}

std::string ProductOfUninstallList(const std::vector<std::string>& list)
{
    std::string key = ParamValue(list, "UninstallKey");
    // "NAME yyyy-mm-dd hh.nn.ss": 20 characters of date behind the name.
    if (key.size() > 20 && key[key.size() - 20] == ' ' && key[key.size() - 15] == '-') key.resize(key.size() - 20);
    return key;
}

void RunLogLine(const std::string& text)
{
    if (Sink) Sink->Write(text);
}

void RunLogCommand(const std::string& line, bool succeeded)
{
    if (Sink) Sink->Write(std::string(succeeded ? "ok: " : "FAILED: ") + line);
}

void RunLogFile(const std::string& path, const char* outcome)
{
    if (Sink) Sink->Write("file: " + path + ": " + outcome);
}

void RunLogFileFailed(const std::string& path, unsigned long error)
{
    if (Sink) Sink->Write("file: " + path + ": failed: " + std::to_string(error) + " " + SystemErrorText(error));
}

void NoteWriteFailure(const std::string& path, unsigned long error)
{
    NoteFailure(ExitCodeOfWin32Error(WriteFailureKind(path, error)));
    RunLogFileFailed(path, error);
}

void RunLogInstallSettings()
{
    if (!Sink) return;
    Sink->Write("folder: " + Engine.PgmPath);
    Sink->Write("language: " + Engine.LanguageCode);
}
