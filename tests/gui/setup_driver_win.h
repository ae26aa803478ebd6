#pragma once
// Drives a real Setup.exe (or uninstall.exe) from this second process: starts
// it, finds its windows by class, title or the component names they carry,
// clicks, reads and sets texts, and photographs them.
#include <windows.h>

#include <functional>
#include <string>

// The demo package's language file (SETUP_SOURCE_DIR names the source tree).
std::string DemoLanguageFile();

// A program built in this build tree, by its path below the build folder,
// e.g. "examples\\morvane\\Morvane.exe".
std::string BuiltFile(const std::string& relativePath);

// A shell folder by its CSIDL number (created when missing), without a final
// "\"; empty when the shell does not know it.
std::string ShellFolder(int csidl);

// A started program inside a job of its own: whatever it starts belongs to
// the job too, and everything still running is ended with the Child.
class Child {
public:
    explicit Child(const std::string& program, const std::string& arguments = "");
    ~Child();
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    bool Started() const { return started_; }
    // Whether the program has not ended yet.
    bool Running() const;
    DWORD Id() const { return process_.dwProcessId; }
    // Waits (at most a minute) for the end; the exit code, or ~0 when still running.
    DWORD WaitForExit() const;
    // Waits (at most a minute) until no process of the job runs any more.
    bool WaitForAllToEnd() const;

private:
    PROCESS_INFORMATION process_{};
    HANDLE job_ = nullptr;
    bool started_ = false;
};

// Polls until find gives a window; gives up after a minute (a loaded machine
// starts Wine programs slowly), so a window that never comes fails the test.
HWND WaitFor(const std::function<HWND()>& find);

// The first visible top-level window of the process with the class (empty:
// any), component name and title (empty: any).
HWND TopWindow(DWORD process, const std::string& className, const std::string& componentName = "",
               const std::string& title = "");

// Polls like WaitFor, but gives up as soon as the child has ended: a window
// that a program that has ended never showed will not come any more.
HWND WaitForWindowOf(const Child& child, const std::function<HWND()>& find);

// The child's top-level windows, and its exit code once it ended, for failure messages.
std::string DescribeWindows(const Child& child);

// The child's main window, once it exists.
HWND MainWindow(const Child& child);

// The child's message dialog, once it is shown.
HWND MessageDialog(const Child& child);

// Leads a started installer to its install question in the language of the
// radio button, with the folder typed in the edit field (unless empty) and
// the language panel photographed under languageShot (unless empty); the main
// window, or null when a step does not come.
HWND OpenInstallQuestion(const Child& setup, const char* radio, const std::string& typedFolder,
                         const std::string& languageShot = "");

// A component of the window once it is visible.
HWND Visible(HWND window, const std::string& name);

// A window's text, read through the message (GetWindowText cannot read an
// edit field of another process).
std::string Text(HWND window);
// The text of a message dialog's message.
std::string MessageText(HWND dialog);
void SetText(HWND window, const std::string& text);
// A list box's item count, one item's text, and the selection.
int ListCount(HWND list);
std::string ListItemText(HWND list, int index);
void SelectListItem(HWND list, int index);
bool Checked(HWND window);
void SetChecked(HWND window, bool checked);

// Clicks and waits until the click was handled.
void Click(HWND window);
// Clicks without waiting: for buttons whose handler runs long or opens a
// modal dialog.
void PostClick(HWND window);

// Waits until the window's thread has handled what it was sent and painted.
void Settle(HWND window);

// Settles the window and saves a picture of it (see SaveWindowShot); with a
// dialog, of the screen area that holds both.
void Shot(HWND window, const std::string& name, HWND dialog = nullptr);

// A picture of the window as the screen shows it, sending nothing to it: for
// a window whose program is busy. Taken again until two pictures in a row
// agree, so that a panel still being painted is not caught half-way; stops
// trying once shown() turns false.
void ShotOfBusyWindow(HWND window, const std::string& name, const std::function<bool()>& shown);

// Makes SETUP_SCREENSHOT_DIR name a folder: "screenshots" in the current
// folder unless the variable names one already.
void EnsureScreenshotFolder();

// Deletes the product's registry key "SOFTWARE\..." of the user and of the
// machine (32-bit view, where an installation writes).
void DeleteProductRegistry(const std::string& key);
