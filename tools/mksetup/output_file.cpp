#include "mksetup/output_file.h"

#include <filesystem>
#include <system_error>

#include "mksetup/mapped_file.h"
#include "mksetup/temporary_files.h"
#include "mksetup/tool_error.h"
#include "util/file_helpers.h"

namespace fs = std::filesystem;

void WriteFileWhole(const std::string& fileName, const std::string& bytes)
{
    const fs::path target(fileName);
    std::error_code error;
    if (target.has_parent_path()) fs::create_directories(target.parent_path(), error);
    if (error) throw ToolError(ExitWriteFailed, "cannot create the folder of " + fileName + ": " + error.message());

    TemporaryFile temporary(fileName + ".mksetup-partial");
    FileWriter out(temporary.Path(), true);
    out.WriteAt(0, bytes.data(), bytes.size());
    out.Close();
    fs::rename(temporary.Path(), target, error);
    if (error) throw ToolError(ExitWriteFailed, "cannot write " + fileName + ": " + error.message());
    temporary.Keep();
}

std::string ReadInputFile(const std::string& fileName, const std::string& purpose)
{
    std::error_code error;
    const fs::path path(fileName);
    if (!fs::exists(path, error)) throw ToolError(ExitBadInput, purpose + " " + fileName + " does not exist");
    if (fs::is_directory(path, error)) throw ToolError(ExitBadInput, purpose + " " + fileName + " is a folder");
    if (QueryFileSize(fileName) == 0) throw ToolError(ExitBadInput, purpose + " " + fileName + " is empty");
    std::string bytes;
    if (!ReadWholeFile(fileName, bytes)) throw ToolError(ExitBadInput, "cannot read " + purpose + " " + fileName);
    return bytes;
}

ToolError DiskFullError(const std::string& fileName, std::uint64_t missing)
{
    return ToolError(ExitWriteFailed, "cannot write " + fileName + ": the disk is full: at least " +
                                          std::to_string(missing == 0 ? 1 : missing) + " more bytes are needed");
}

std::uint64_t FreeDiskBytes(const std::string& fileName)
{
    std::error_code error;
    const fs::path parent = fs::path(fileName).parent_path();
    const fs::space_info space = fs::space(parent.empty() ? fs::path(".") : parent, error);
    return error ? 0 : static_cast<std::uint64_t>(space.available);
}
