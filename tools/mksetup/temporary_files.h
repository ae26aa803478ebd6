#pragma once
// The temporary files of a running command (spool, partial output, the file
// being signed). They are removed however the command ends: by their owner on
// success or failure, and by the interrupt handling when the user stops the
// packer (SIGINT or SIGTERM; Ctrl-C or Ctrl-Break for mksetup.exe).
#include <string>

// Removes the file when it goes out of scope, unless it was kept (moved into
// place); until then an interrupt removes it too.
class TemporaryFile {
public:
    explicit TemporaryFile(std::string path);
    ~TemporaryFile();
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;
    const std::string& Path() const { return path_; }
    void Keep();

private:
    std::string path_;
    int slot_;
    bool kept_ = false;
};

// Installs the interrupt handling; the program calls it once at start.
void RemoveTemporariesOnInterrupt();

// Throws ToolError when an interrupt asked the command to stop (Windows,
// whose console handler cannot remove files that are still open); the
// owners then remove their files. Called between steps of a long command.
void StopIfInterrupted();

// For the platform's handler: the paths of the live temporary files, each
// passed to remove (which must be async-signal-safe on POSIX).
void ForEachTemporaryPath(void (*remove)(const char* path));
