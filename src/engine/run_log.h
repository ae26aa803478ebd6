#pragma once
// The run log that "/LOG=path" or "/LOG" asks for: UTF-8 text, a header, one
// line per script command with its outcome, one per file written, kept,
// deleted or failed, and as its last line "exit code N". Each line goes to
// the file at once, so that a killed run leaves its log up to its last step.
// The engine writes its lines here whether a log is open or not; without one
// they go nowhere. C:\Setup.log after an error is written as before.
#include <string>
#include <vector>

// Where the lines go (the file on Windows; tests capture them).
class TRunLogSink {
public:
    virtual ~TRunLogSink() = default;
    virtual void Write(const std::string& ansiLine) = 0;
};
void SetRunLogSink(TRunLogSink* sink);

// Whether the arguments ask for a log; path is empty for "/LOG" (a file in
// the temporary folder) and the text behind "/LOG=" otherwise.
bool RunLogRequested(const std::vector<std::string>& arguments, std::string& path);

// "PRODUCT-yyyymmdd-hhnnss.log" with every character that no file name may
// hold made "_"; "Setup" for an empty product.
std::string DefaultRunLogName(std::string product, unsigned year, unsigned month, unsigned day, unsigned hour,
                              unsigned minute, unsigned second);

// The product a default log is named after: the last part of the "Registry"
// item of the script's first "path" line, or the name of an uninstall list's
// entry without its date; empty when neither says.
std::string ProductOfScript(const std::vector<std::string>& scriptLines);
std::string ProductOfUninstallList(const std::vector<std::string>& list);

// A line of 8-bit engine text.
void RunLogLine(const std::string& text);
// A script line that ran and its outcome.
void RunLogCommand(const std::string& line, bool succeeded);
// A file and what happened to it ("written", "kept", "deleted").
void RunLogFile(const std::string& path, const char* outcome);
// A file that failed: "failed: " with the Win32 error's number and text.
void RunLogFileFailed(const std::string& path, unsigned long error);
// RunLogFileFailed, and the failure counted for the exit code by its error
// (disk full, file in use, or other errors).
void NoteWriteFailure(const std::string& path, unsigned long error);
// The folder and language of the installation about to run.
void RunLogInstallSettings();

// The error a failed write counts as: a refused replacement (access denied)
// of a file that another program holds open counts as a sharing violation,
// as Windows reports a move over an open file so.
unsigned long WriteFailureKind(const std::string& path, unsigned long error);

// The system's text for an error number, on one line.
std::string SystemErrorText(unsigned long error);

// Windows: opens the log when the command line asks for one and writes the
// header; FinishRunLog writes the last line and closes it.
void StartRunLog(bool unattended);
void FinishRunLog(int exitCode);
