#include "setup_driver_win.h"

#include <shlobj.h>

#include <cstdlib>
#include <direct.h>

#include "app/component_names_win.h"
#include "app/message_dialogs_win.h"
#include "support/test_support.h"
#include "window_driver_win.h"

namespace {

// The folder of this test program: build/<preset>/tests/gui/.
std::string OwnFolder()
{
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder = path;
    return folder.substr(0, folder.find_last_of('\\') + 1);
}

struct TopSearch {
    DWORD process;
    std::string className;
    std::string title;
    std::string componentName;
    HWND found;
};

BOOL CALLBACK MatchTop(HWND window, LPARAM data)
{
    auto* search = reinterpret_cast<TopSearch*>(data);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process != search->process || !IsWindowVisible(window)) return TRUE;
    char className[64] = {};
    GetClassNameA(window, className, sizeof className);
    if (!search->className.empty() && search->className != className) return TRUE;
    if (!search->componentName.empty() && ComponentName(window) != search->componentName) return TRUE;
    if (!search->title.empty()) {
        char title[128] = {};
        GetWindowTextA(window, title, sizeof title);
        if (search->title != title) return TRUE;
    }
    search->found = window;
    return FALSE;
}

BOOL CALLBACK DescribeTop(HWND window, LPARAM data)
{
    auto* search = reinterpret_cast<std::pair<DWORD, std::string>*>(data);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process != search->first) return TRUE;
    char className[64] = {}, title[256] = {};
    GetClassNameA(window, className, sizeof className);
    GetWindowTextA(window, title, sizeof title);
    search->second += std::string(" [") + className + " \"" + title + "\" " + ComponentName(window) +
                      (IsWindowVisible(window) ? " visible" : " hidden");
    if (HWND text = FindComponent(window, MessageTextName)) {
        GetWindowTextA(text, title, sizeof title);
        search->second += std::string(" text \"") + title + "\"";
    }
    search->second += "]";
    return TRUE;
}

LRESULT SendWithTimeout(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    DWORD_PTR result = 0;
    SendMessageTimeoutA(window, message, wParam, lParam, SMTO_NORMAL, 10000, &result);
    return static_cast<LRESULT>(result);
}

} // namespace

std::string DemoLanguageFile()
{
    const char* source = std::getenv("SETUP_SOURCE_DIR");
    return ReadTestFile(std::string(source ? source : ".") + "/examples/morvane/Setup.lng");
}

std::string BuiltFile(const std::string& relativePath)
{
    return OwnFolder() + "..\\..\\" + relativePath;
}

std::string ShellFolder(int csidl)
{
    char path[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathA(nullptr, csidl | CSIDL_FLAG_CREATE, nullptr, 0, path))) return "";
    return path;
}

Child::Child(const std::string& program, const std::string& arguments)
{
    job_ = CreateJobObjectA(nullptr, nullptr);
    if (job_) {
        JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
        limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
        SetInformationJobObject(job_, JobObjectExtendedLimitInformation, &limits, sizeof limits);
    }
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    std::string commandLine = "\"" + program + "\"" + (arguments.empty() ? "" : " " + arguments);
    // Suspended until it is in the job, so that nothing it starts escapes.
    started_ = CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr,
                              nullptr, &startup, &process_) != FALSE;
    if (!started_) return;
    if (job_ && !AssignProcessToJobObject(job_, process_.hProcess)) {
        CloseHandle(job_);
        job_ = nullptr;
    }
    ResumeThread(process_.hThread);
}

Child::~Child()
{
    if (started_) {
        if (WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT) {
            TerminateProcess(process_.hProcess, 1);
            WaitForSingleObject(process_.hProcess, 10000);
        }
        CloseHandle(process_.hThread);
        CloseHandle(process_.hProcess);
    }
    if (job_) {
        TerminateJobObject(job_, 1);
        CloseHandle(job_);
    }
}

bool Child::Running() const
{
    return started_ && WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT;
}

DWORD Child::WaitForExit() const
{
    if (WaitForSingleObject(process_.hProcess, 60000) != WAIT_OBJECT_0) return ~0u;
    DWORD code = ~0u;
    GetExitCodeProcess(process_.hProcess, &code);
    return code;
}

bool Child::WaitForAllToEnd() const
{
    JOBOBJECT_BASIC_ACCOUNTING_INFORMATION accounting{};
    for (int attempt = 0; job_ && attempt < 1200; ++attempt) {
        if (!QueryInformationJobObject(job_, JobObjectBasicAccountingInformation, &accounting, sizeof accounting,
                                       nullptr))
            return false;
        if (accounting.ActiveProcesses == 0) return true;
        Sleep(50);
    }
    return false;
}

HWND WaitFor(const std::function<HWND()>& find)
{
    for (int attempt = 0; attempt < 1200; ++attempt) {
        if (HWND window = find()) return window;
        Sleep(50);
    }
    return nullptr;
}

HWND WaitForWindowOf(const Child& child, const std::function<HWND()>& find)
{
    for (int attempt = 0; attempt < 1200; ++attempt) {
        if (HWND window = find()) return window;
        if (!child.Running()) return find();
        Sleep(50);
    }
    return nullptr;
}

HWND TopWindow(DWORD process, const std::string& className, const std::string& componentName,
               const std::string& title)
{
    TopSearch search{process, className, title, componentName, nullptr};
    EnumWindows(MatchTop, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

std::string DescribeWindows(const Child& child)
{
    std::pair<DWORD, std::string> search{child.Id(), ""};
    EnumWindows(DescribeTop, reinterpret_cast<LPARAM>(&search));
    std::string description = search.second.empty() ? " no windows" : search.second;
    if (child.Started() && !child.Running()) description += "; ended with exit code " + std::to_string(child.WaitForExit());
    return description;
}

HWND MainWindow(const Child& child)
{
    return WaitForWindowOf(child, [&] { return TopWindow(child.Id(), "TBvSetupForm1"); });
}

HWND MessageDialog(const Child& child)
{
    return WaitForWindowOf(child, [&] { return TopWindow(child.Id(), "", MessageDialogName); });
}

HWND OpenInstallQuestion(const Child& setup, const char* radio, const std::string& typedFolder,
                         const std::string& languageShot)
{
    HWND window = MainWindow(setup);
    if (!window || !Visible(window, "LngPanel")) return nullptr;
    Click(FindComponent(window, radio));
    if (!languageShot.empty()) Shot(window, languageShot);
    Click(FindComponent(window, "LngOkBtn"));
    if (!Visible(window, "AskPanel")) return nullptr;
    if (!typedFolder.empty()) SetText(FindComponent(window, "PgmPathEd"), typedFolder);
    return window;
}

HWND Visible(HWND window, const std::string& name)
{
    return WaitFor([&]() -> HWND {
        HWND component = FindComponent(window, name);
        return component && IsWindowVisible(component) ? component : nullptr;
    });
}

std::string Text(HWND window)
{
    char text[1024] = {};
    SendWithTimeout(window, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
    return text;
}

std::string MessageText(HWND dialog)
{
    return Text(FindComponent(dialog, MessageTextName));
}

void SetText(HWND window, const std::string& text)
{
    SendWithTimeout(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

int ListCount(HWND list)
{
    return static_cast<int>(SendWithTimeout(list, LB_GETCOUNT, 0, 0));
}

std::string ListItemText(HWND list, int index)
{
    // Read as UTF-16: Wine hands the 8-bit form of this message from another
    // process over unconverted.
    wchar_t text[512] = {};
    const LRESULT length = SendWithTimeout(list, LB_GETTEXTLEN, static_cast<WPARAM>(index), 0);
    if (length < 0 || length >= static_cast<LRESULT>(sizeof text / sizeof text[0])) return "";
    DWORD_PTR result = 0;
    SendMessageTimeoutW(list, LB_GETTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text), SMTO_NORMAL,
                        10000, &result);
    char ansi[1024] = {};
    WideCharToMultiByte(CP_ACP, 0, text, -1, ansi, sizeof ansi, nullptr, nullptr);
    return ansi;
}

void SelectListItem(HWND list, int index)
{
    SendWithTimeout(list, LB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

bool Checked(HWND window)
{
    return SendMessageA(window, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void SetChecked(HWND window, bool checked)
{
    SendWithTimeout(window, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

void Click(HWND window)
{
    SendWithTimeout(window, BM_CLICK, 0, 0);
}

void PostClick(HWND window)
{
    PostMessageA(window, BM_CLICK, 0, 0);
}

void Settle(HWND window)
{
    SendWithTimeout(window, WM_NULL, 0, 0);
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    SendWithTimeout(window, WM_NULL, 0, 0);
}

void Shot(HWND window, const std::string& name, HWND dialog)
{
    Settle(window);
    if (!dialog) {
        SaveWindowShot(window, name);
        return;
    }
    Settle(dialog);
    LetDisplayCatchUp(window);
    RECT windowRect, dialogRect, both;
    GetWindowRect(window, &windowRect);
    GetWindowRect(dialog, &dialogRect);
    UnionRect(&both, &windowRect, &dialogRect);
    SaveScreenShot(both, name);
}

void ShotOfBusyWindow(HWND window, const std::string& name, const std::function<bool()>& shown)
{
    const char* folder = std::getenv("SETUP_SCREENSHOT_DIR");
    if (!folder || !*folder) return;
    const std::string file = std::string(folder) + "\\" + name + ".bmp";
    std::string previous;
    for (int attempt = 0; attempt < 100 && shown(); ++attempt) {
        RECT rect;
        GetWindowRect(window, &rect);
        SaveScreenShot(rect, name);
        std::string current = ReadTestFile(file);
        if (current == previous) return;
        previous.swap(current);
        Sleep(20);
    }
}

void EnsureScreenshotFolder()
{
    if (std::getenv("SETUP_SCREENSHOT_DIR")) return;
    _mkdir("screenshots");
    _putenv_s("SETUP_SCREENSHOT_DIR", "screenshots");
}

void DeleteProductRegistry(const std::string& key)
{
    RegDeleteTreeA(HKEY_CURRENT_USER, key.c_str());
    HKEY opened = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_ALL_ACCESS | KEY_WOW64_32KEY, &opened) ==
        ERROR_SUCCESS) {
        RegDeleteTreeA(opened, nullptr);
        RegCloseKey(opened);
        RegDeleteKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), KEY_WOW64_32KEY, 0);
    }
}
