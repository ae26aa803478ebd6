// The packer's installer reader and "verify" over arbitrary file bytes: the
// section chain, the script, the payload pieces and their extraction names.
#include <string>

#include "fuzz_targets.h"
#include "mksetup/installer_reader.h"
#include "mksetup/tool_error.h"

int FuzzInstallerVerify(const std::uint8_t* data, std::size_t size)
{
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    try {
        const InstallerFile file = ParseInstaller("fuzz.exe", bytes);
        std::size_t end = file.ImageSize;
        for (const SectionEntry& section : file.Sections) {
            FuzzCheck(section.Offset == end, "sections follow each other");
            end = section.Offset + section.Name.size() + 6 + section.Size;
        }
        FuzzCheck(end == bytes.size(), "the chain ends at the end of the file");
        const CheckedInstaller checked = CheckInstaller(file);
        for (const ScriptPiece& piece : checked.Pieces) {
            FuzzCheck(PieceContents(checked, piece).size() == piece.OrigLen, "a checked piece has its size");
            try {
                const std::string path = ExtractionPath(piece.FileName);
                FuzzCheck(("/" + path + "/").find("/../") == std::string::npos, "no extraction path leaves its folder");
                FuzzCheck(!path.empty() && path[0] != '/', "extraction paths are relative");
            } catch (const ToolError& error) {
                FuzzCheck(error.Code == ExitBadInstaller, "a bad name is a bad installer");
            }
        }
    } catch (const ToolError& error) {
        FuzzCheck(error.Code == ExitBadInstaller, "a broken installer is a bad installer");
    }
    return 0;
}
