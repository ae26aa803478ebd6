#include "e2e_support_win.h"

#include <objbase.h>
#include <objidl.h>
#include <shlobj.h>

#include <lzma.h>

#include <stdexcept>

#include "container/payload_codec.h"
#include "container/sections.h"
#include "container/zlib_wrapper.h"
#include "engine/command_text.h"
#include "util/file_helpers.h"
#include "util/win_handles.h"

std::string BuiltSetupPath()
{
    // The test program lives in build/<preset>/tests/e2e/.
    std::string path = OwnExecutablePath();
    for (int level = 0; level < 3; ++level) path = path.substr(0, path.find_last_of('\\'));
    return path + "\\src\\app\\Setup.exe";
}

std::string SetupImage()
{
    std::string data, image, sections;
    if (!ReadWholeFile(BuiltSetupPath(), data)) throw std::runtime_error("cannot read " + BuiltSetupPath());
    SplitAtBeginMarker(data, image, sections);
    return image;
}

std::vector<std::string> SaveLines(const std::vector<TPackageFile>& files, std::string& payload)
{
    std::vector<std::string> lines;
    for (const TPackageFile& file : files) {
        std::string line = std::string("action=") + (file.KeepExisting ? "saveifnotexists" : "save") +
                           ",OrigLen=" + std::to_string(file.Contents.size());
        if (file.Compressed) {
            const std::string piece = CompressString(file.Contents, LevelDefault);
            line += ",ComprLen=" + std::to_string(piece.size());
            payload += piece;
        } else {
            payload += file.Contents;
        }
        lines.push_back(line + "," + QuoteItem("Filename=*PgmPath*\\" + file.Name));
    }
    return lines;
}

std::string MakeInstaller(const std::vector<std::string>& scriptLines, const std::string& payload,
                          const std::string& languageText)
{
    std::string script;
    for (const std::string& line : scriptLines) script += line + "\r\n";
    std::string installer = SetupImage() + MakeSection(SectionBeginningMark, "");
    if (!languageText.empty()) installer += MakeSection(SectionSetupLng, languageText);
    installer += MakeSection(SectionSetupCmd, CompressString(script, LevelDefault));
    installer += MakeSection(SectionSetupBin, CompressString(payload, LevelDefault));
    return installer;
}

std::string SolidPayloadSection(const std::string& payload, std::size_t blockSize)
{
    lzma_stream stream = LZMA_STREAM_INIT;
    lzma_mt options{};
    options.threads = 1;
    options.block_size = blockSize;
    options.preset = 6;
    options.check = LZMA_CHECK_NONE;
    if (lzma_stream_encoder_mt(&stream, &options) != LZMA_OK) throw std::runtime_error("no LZMA2 encoder");
    std::string out(lzma_stream_buffer_bound(payload.size()) + 65536, '\0');
    stream.next_in = reinterpret_cast<const uint8_t*>(payload.data());
    stream.avail_in = payload.size();
    stream.next_out = reinterpret_cast<uint8_t*>(&out[0]);
    stream.avail_out = out.size();
    const lzma_ret result = lzma_code(&stream, LZMA_FINISH);
    out.resize(stream.total_out);
    lzma_end(&stream);
    if (result != LZMA_STREAM_END) throw std::runtime_error("LZMA2 compression failed");
    return out;
}

std::string PayloadCheckItemFor(const std::string& section, std::size_t decodedSize)
{
    TPayloadCheck check;
    check.SectionLength = section.size();
    check.DecodedSize = decodedSize;
    check.SectionCrc = PayloadCrc(0, section.data(), section.size());
    return MakePayloadCheck(check);
}

std::string Utf16LeWithMark(const std::string& ascii)
{
    std::string bytes = "\xFF\xFE";
    for (char c : ascii) {
        bytes += c;
        bytes += '\0';
    }
    return bytes;
}

TRunResult RunProgram(const std::string& commandLine)
{
    TRunResult result;
    char tempFolder[MAX_PATH];
    char errorFile[MAX_PATH];
    GetTempPathA(MAX_PATH, tempFolder);
    GetTempFileNameA(tempFolder, "err", 0, errorFile);
    SECURITY_ATTRIBUTES inheritable = {sizeof(inheritable), nullptr, TRUE};
    {
        FileHandle error(CreateFileA(errorFile, GENERIC_WRITE, FILE_SHARE_READ, &inheritable, CREATE_ALWAYS,
                                     FILE_ATTRIBUTE_NORMAL, nullptr));
        STARTUPINFOA startup = {};
        startup.cb = sizeof(startup);
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
        startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
        startup.hStdError = error.get();
        PROCESS_INFORMATION process = {};
        std::string line = commandLine;
        if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process))
            return result;
        FileHandle processHandle(process.hProcess);
        FileHandle threadHandle(process.hThread);
        if (WaitForSingleObject(process.hProcess, 120000) != WAIT_OBJECT_0) {
            TerminateProcess(process.hProcess, 0xFFFFFFFF);
            return result;
        }
        GetExitCodeProcess(process.hProcess, &result.ExitCode);
    }
    ReadWholeFile(errorFile, result.StandardError);
    DeleteFileA(errorFile);
    return result;
}

namespace {

RegKey OpenView(HKEY root, const std::string& path, REGSAM access)
{
    RegKey key;
    if (RegOpenKeyExA(root, path.c_str(), 0, access | KEY_WOW64_32KEY, key.receive()) != ERROR_SUCCESS) key.reset();
    return key;
}

} // namespace

std::string RegString(HKEY root, const std::string& path, const std::string& name)
{
    RegKey key = OpenView(root, path, KEY_READ);
    char buffer[4096];
    DWORD size = sizeof(buffer);
    DWORD type = 0;
    if (!key ||
        RegQueryValueExA(key.get(), name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size) !=
            ERROR_SUCCESS ||
        type != REG_SZ)
        return "<missing>";
    return std::string(buffer, size > 0 ? size - 1 : 0);
}

DWORD RegDword(HKEY root, const std::string& path, const std::string& name)
{
    RegKey key = OpenView(root, path, KEY_READ);
    DWORD value = 0xFFFFFFFF;
    DWORD size = sizeof(value);
    DWORD type = 0;
    if (!key || RegQueryValueExA(key.get(), name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) !=
                    ERROR_SUCCESS ||
        type != REG_DWORD)
        return 0xFFFFFFFF;
    return value;
}

bool RegKeyExists(HKEY root, const std::string& path)
{
    return static_cast<bool>(OpenView(root, path, KEY_READ));
}

std::vector<std::string> RegSubkeys(HKEY root, const std::string& path)
{
    std::vector<std::string> names;
    RegKey key = OpenView(root, path, KEY_READ);
    char name[512];
    for (DWORD index = 0; key; ++index) {
        DWORD length = sizeof(name);
        if (RegEnumKeyExA(key.get(), index, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        names.emplace_back(name, length);
    }
    return names;
}

void RegSetString(HKEY root, const std::string& path, const std::string& name, const std::string& value)
{
    RegKey key;
    RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | KEY_WOW64_32KEY, nullptr, key.receive(),
                    nullptr);
    if (key)
        RegSetValueExA(key.get(), name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                       static_cast<DWORD>(value.size() + 1));
}

void RegDeleteTreeAt(HKEY root, const std::string& path)
{
    const std::size_t separator = path.rfind('\\');
    RegKey parent = OpenView(root, path.substr(0, separator), KEY_ALL_ACCESS);
    if (parent) RegDeleteTreeA(parent.get(), path.substr(separator + 1).c_str());
}

bool PathExists(const std::string& path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

TShortcut ReadShortcut(const std::string& path)
{
    TShortcut shortcut;
    IShellLinkA* link = nullptr;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                reinterpret_cast<void**>(&link))))
        return shortcut;
    IPersistFile* file = nullptr;
    if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
        const int size = MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, nullptr, 0);
        std::wstring wide(static_cast<std::size_t>(size), L'\0');
        MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide.data(), size);
        if (SUCCEEDED(file->Load(wide.c_str(), STGM_READ))) {
            char text[MAX_PATH * 2] = {};
            link->GetPath(text, sizeof(text), nullptr, SLGP_RAWPATH);
            shortcut.Target = text;
            text[0] = 0;
            link->GetArguments(text, sizeof(text));
            shortcut.Arguments = text;
            text[0] = 0;
            link->GetWorkingDirectory(text, sizeof(text));
            shortcut.WorkingFolder = text;
            shortcut.Loaded = true;
        }
        file->Release();
    }
    link->Release();
    return shortcut;
}

namespace {

struct TWindowSearch {
    DWORD Process;
    const char* ClassName;
    const char* Title;
    HWND Found;
};

BOOL CALLBACK MatchProcessWindow(HWND window, LPARAM data)
{
    auto* search = reinterpret_cast<TWindowSearch*>(data);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process != search->Process) return TRUE;
    char text[256] = {};
    GetClassNameA(window, text, sizeof text);
    if (std::string(text) != search->ClassName) return TRUE;
    if (search->Title) {
        GetWindowTextA(window, text, sizeof text);
        if (std::string(text) != search->Title) return TRUE;
    }
    search->Found = window;
    return FALSE;
}

} // namespace

HWND ProcessWindow(DWORD process, const char* className, const char* title)
{
    TWindowSearch search{process, className, title, nullptr};
    EnumWindows(MatchProcessWindow, reinterpret_cast<LPARAM>(&search));
    return search.Found;
}
