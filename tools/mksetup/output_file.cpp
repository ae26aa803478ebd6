#include "mksetup/output_file.h"

#include <filesystem>
#include <fstream>
#include <system_error>

#include "mksetup/tool_error.h"
#include "util/file_helpers.h"

namespace fs = std::filesystem;

void WriteFileWhole(const std::string& fileName, const std::string& bytes)
{
    const fs::path target(fileName);
    std::error_code error;
    if (target.has_parent_path()) fs::create_directories(target.parent_path(), error);
    if (error) throw ToolError(ExitWriteFailed, "cannot create the folder of " + fileName + ": " + error.message());

    fs::path temporary = target;
    temporary += ".mksetup-partial";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        if (out) out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        out.close();
        if (!out) {
            fs::remove(temporary, error);
            throw ToolError(ExitWriteFailed, "cannot write " + fileName);
        }
    }
    fs::rename(temporary, target, error);
    if (error) {
        std::error_code ignored;
        fs::remove(temporary, ignored);
        throw ToolError(ExitWriteFailed, "cannot write " + fileName + ": " + error.message());
    }
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
