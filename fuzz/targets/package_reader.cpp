// The packer's package reader over an arbitrary description. The package is
// written into a sandbox folder that holds a few source files; inputs that
// name a source outside it (an absolute path or "..") are skipped, since the
// reader would then walk the machine's own folders.
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "fuzz_targets.h"
#include "mksetup/package_reader.h"
#include "mksetup/tool_error.h"

namespace fs = std::filesystem;

namespace {

void WriteFile(const fs::path& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

const fs::path& Sandbox()
{
    static const fs::path folder = [] {
        const fs::path path = fs::temp_directory_path() / ("setup-fuzz-pkg-" + std::to_string(getpid()));
        fs::create_directories(path / "files" / "sub");
        WriteFile(path / "files" / "Morvane.exe", std::string(300, 'M'));
        WriteFile(path / "files" / "readme.txt", "read me\r\n");
        WriteFile(path / "files" / "sub" / "data.ada", std::string(50, '\x01'));
        WriteFile(path / "files" / "empty.txt", "");
        return path;
    }();
    return folder;
}

bool LeavesSandbox(const std::string& text)
{
    return text.find("..") != std::string::npos || text.find("=/") != std::string::npos ||
           text.find("=\\") != std::string::npos || text.find(':') != std::string::npos ||
           text.find('~') != std::string::npos;
}

} // namespace

int FuzzPackageReader(const std::uint8_t* data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    if (LeavesSandbox(text)) return 0;
    const fs::path packageFile = Sandbox() / "fuzz.pkg";
    WriteFile(packageFile, text);
    try {
        const Package package = ReadPackage(packageFile.string());
        FuzzCheck(!package.Lines.empty(), "a package that reads holds a command");
        for (const PackageLine& line : package.Lines) {
            if (!line.IsPiece) continue;
            FuzzCheck(line.Size > 0 && ReadPieceData(line).size() == line.Size, "a piece is never empty and read as listed");
            FuzzCheck(line.ActionIndex < line.Items.size(), "the action stands among the items");
            const std::string scriptLine = PieceScriptLine(line, line.Size, line.Size / 2 + 1);
            FuzzCheck(ParamValue(SplitCommaText(scriptLine), "OrigLen") == std::to_string(line.Size),
                      "the script line carries the piece's size");
        }
    } catch (const ToolError& error) {
        FuzzCheck(error.Code == ExitBadInput, "a bad package is bad input");
    }
    return 0;
}
