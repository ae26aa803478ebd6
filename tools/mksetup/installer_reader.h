#pragma once
// Reading installers and uninstallers: the chain of sections behind the
// program image, the command script, the payload and the uninstall list.
#include <cstddef>
#include <string>
#include <vector>

struct SectionEntry {
    std::string Name;
    std::size_t Offset = 0; // of the section's marker, from the start of the file
    std::size_t Size = 0;   // of its data
};

struct InstallerFile {
    std::string FileName;
    std::string Bytes;
    std::size_t ImageSize = 0;
    std::vector<SectionEntry> Sections;
    // A certificate table that the security directory points at and that ends
    // the file: the signature. Size 0 when the file is not signed.
    std::size_t CertificateOffset = 0;
    std::size_t CertificateSize = 0;
};

// "signed, N bytes of certificate" or "not signed".
std::string SignatureText(const InstallerFile& file);

// Walks the sections from the begin marker to the end of the file. Throws
// ToolError(ExitBadInstaller) when there is no begin marker or the chain is
// broken (stray bytes, a cut-off length, data running past the end). A
// signature ends the chain: the certificate table and the up to 7 zero bytes
// that align it.
InstallerFile ParseInstaller(const std::string& fileName, const std::string& bytes);
InstallerFile OpenInstaller(const std::string& fileName);

// The data of the named section as the installer itself finds it (the first
// occurrence of its marker); false when absent.
bool InstallerSection(const InstallerFile& file, const std::string& name, std::string& data);

// Decompressed command script / uninstall list; throws ToolError when the
// section is missing or does not decompress.
std::string InstallerScript(const InstallerFile& file);
std::string InstallerUninstallList(const InstallerFile& file);

struct ScriptPiece {
    std::size_t Line = 0; // 1-based line of the script
    std::string Action;
    std::string FileName; // the Filename= value, placeholders unexpanded
    std::size_t OrigLen = 0;
    std::size_t ComprLen = 0; // 0 for a stored piece
    std::size_t Offset = 0;   // in the payload
};

struct CheckedInstaller {
    bool IsUninstaller = false;
    std::size_t CommandCount = 0;
    std::vector<ScriptPiece> Pieces;
    std::string Payload;
    std::size_t UninstallFiles = 0;
    std::size_t UninstallFolders = 0;
    std::string Summary; // one line
};

// Everything the installer will need checks out: sections found where the
// chain has them, script and payload decompress, every line has a known
// action, the payload holds exactly the pieces the script names and each
// compressed piece decompresses to its OrigLen. Throws
// ToolError(ExitBadInstaller) with the first problem.
CheckedInstaller CheckInstaller(const InstallerFile& file);

// The file contents a piece stands for.
std::string PieceContents(const CheckedInstaller& checked, const ScriptPiece& piece);

// The relative path (with '/') a Filename= value is extracted to: every
// placeholder becomes a folder named without its asterisks, a drive letter a
// folder of that letter. Throws ToolError for ".." or an empty name.
std::string ExtractionPath(const std::string& fileName);

// Checks the installer, then writes every piece below folder. Returns the
// number of files written.
std::size_t ExtractInstaller(const InstallerFile& file, const std::string& folder);
