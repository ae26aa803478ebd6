#include "mksetup/installer_reader.h"

#include <cstdint>

#include "container/pe_image.h"
#include "container/payload_codec.h"
#include "container/sections.h"
#include "container/zlib_wrapper.h"
#include "engine/command_text.h"
#include "mksetup/output_file.h"
#include "mksetup/script_rules.h"
#include "mksetup/tool_error.h"

namespace {

const unsigned char MarkerByte = 0xF7;
const std::size_t LongestName = 253;
// The certificate table starts on an 8-byte boundary; a signing tool pads the
// signed content with zeros up to it.
const std::size_t CertificateAlignment = 8;

ToolError Bad(const InstallerFile& file, const std::string& problem)
{
    return ToolError(ExitBadInstaller, file.FileName + ": " + problem);
}

std::string Decompressed(const InstallerFile& file, const std::string& name, const std::string& data)
{
    try {
        // The payload section may also be the solid form.
        return name == SectionSetupBin ? DecodeSectionData(data) : DecompressString(data);
    } catch (const EZLibError& e) {
        throw Bad(file, name + " does not decompress (" + e.what() + ")");
    }
}

// Where a piece ends in the payload: a compressed piece takes ComprLen bytes, a
// stored one OrigLen.
std::size_t PieceEnd(const ScriptPiece& piece)
{
    return piece.Offset + (piece.ComprLen > 0 ? piece.ComprLen : piece.OrigLen);
}

std::string Plural(std::size_t n, const std::string& word)
{
    return std::to_string(n) + " " + word + (n == 1 ? "" : "s");
}

void CheckSectionPlacement(const InstallerFile& file)
{
    const std::string sectionPart = file.Bytes.substr(file.ImageSize);
    for (std::size_t i = 0; i < file.Sections.size(); ++i) {
        const SectionEntry& section = file.Sections[i];
        for (std::size_t k = 0; k < i; ++k)
            if (file.Sections[k].Name == section.Name)
                throw Bad(file, "the section " + section.Name + " occurs twice");
        std::size_t markerLength;
        const std::size_t found = FindSectionMarker(section.Name, sectionPart, markerLength);
        if (found + file.ImageSize != section.Offset)
            throw Bad(file, "the marker of " + section.Name + " also stands at offset " +
                                std::to_string(found + file.ImageSize) +
                                ", inside earlier data, where the installer would look for it");
    }
    if (file.Sections.empty() || file.Sections.front().Name != SectionBeginningMark ||
        file.Sections.front().Size != 0)
        throw Bad(file, "the sections do not begin with an empty " + std::string(SectionBeginningMark));
}

// The check item, when there is one, must state the payload section exactly:
// the installer refuses to run otherwise.
void CheckPayloadCheckItem(const InstallerFile& file, const std::string& payloadData, std::size_t decodedSize)
{
    std::string item;
    if (!InstallerSection(file, SectionSetupSum, item)) return;
    TPayloadCheck check;
    if (!ReadPayloadCheck(item, check)) throw Bad(file, std::string(SectionSetupSum) + " is garbled");
    if (check.SectionLength != payloadData.size() || check.DecodedSize != decodedSize ||
        check.SectionCrc != PayloadCrc(0, payloadData.data(), payloadData.size()))
        throw Bad(file, std::string(SectionSetupSum) + " does not match the payload section");
}

void CheckLanguageSection(const InstallerFile& file)
{
    std::string language;
    if (!InstallerSection(file, SectionSetupLng, language)) return;
    if (language.size() < 2 || language.compare(0, 2, "\xFF\xFE") != 0 || language.size() % 2 != 0)
        throw Bad(file, std::string(SectionSetupLng) + " is not UTF-16LE text with the mark FF FE");
}

std::vector<ScriptPiece> ReadScriptPieces(const InstallerFile& file, const std::string& script,
                                          std::size_t& commandCount)
{
    std::vector<ScriptPiece> pieces;
    const std::vector<std::string> lines = SplitLines(script);
    commandCount = lines.size();
    if (lines.empty()) throw Bad(file, "the command script is empty");
    std::size_t offset = 0;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string where = "script line " + std::to_string(i + 1) + ": ";
        const TParams items = SplitCommaText(lines[i]);
        const std::string action = ParamValue(items, "action");
        if (!IsKnownAction(action))
            throw Bad(file, where + (action.empty() ? "no action" : "unknown action \"" + action + "\""));
        if (action != "save" && action != "saveifnotexists") continue;
        ScriptPiece piece;
        piece.Line = i + 1;
        piece.Action = action;
        piece.FileName = ParamValue(items, "Filename");
        if (piece.FileName.empty()) throw Bad(file, where + "no Filename");
        const long long origLen = ScriptInteger(ParamValue(items, "OrigLen"));
        if (origLen <= 0) throw Bad(file, where + "OrigLen is not above 0");
        piece.OrigLen = static_cast<std::size_t>(origLen);
        const std::string comprText = ParamValue(items, "ComprLen");
        if (!comprText.empty()) {
            const long long comprLen = ScriptInteger(comprText);
            if (comprLen <= 0) throw Bad(file, where + "ComprLen is not above 0");
            piece.ComprLen = static_cast<std::size_t>(comprLen);
        }
        piece.Offset = offset;
        offset = PieceEnd(piece);
        pieces.push_back(piece);
    }
    return pieces;
}

void CheckUninstaller(const InstallerFile& file, CheckedInstaller& checked)
{
    const std::string list = InstallerUninstallList(file);
    for (const std::string& line : SplitLines(list)) {
        if (line.compare(0, 5, "file=") == 0)
            ++checked.UninstallFiles;
        else if (line.compare(0, 4, "dir=") == 0)
            ++checked.UninstallFolders;
    }
    checked.IsUninstaller = true;
    checked.Summary = file.FileName + ": uninstaller OK: " + SignatureText(file) + ", image " + std::to_string(file.ImageSize) + " bytes, " +
                      Plural(file.Sections.size(), "section") + ", uninstall list of " +
                      Plural(checked.UninstallFiles, "file") + " and " + Plural(checked.UninstallFolders, "folder");
}

} // namespace

InstallerFile ParseInstaller(const std::string& fileName, const std::string& bytes)
{
    InstallerFile file;
    file.FileName = fileName;
    file.Bytes = bytes;
    std::size_t markerLength;
    const std::size_t start = FindSectionMarker(SectionBeginningMark, bytes, markerLength);
    if (start == std::string::npos) throw Bad(file, "no sections (not an installer or uninstaller)");
    file.ImageSize = start;

    // The chain runs to the signature, when there is one behind the image.
    std::size_t end = bytes.size();
    std::size_t certificate = 0;
    if (PeCertificateEndsFile(bytes, certificate) && certificate > start) {
        file.CertificateOffset = certificate;
        file.CertificateSize = bytes.size() - certificate;
        end = certificate;
    }
    const std::string endName = file.CertificateSize > 0 ? "the certificate table" : "the end of the file";
    std::size_t pos = start;
    while (pos < end) {
        if (static_cast<unsigned char>(bytes[pos]) != MarkerByte) {
            if (file.CertificateSize > 0 && end - pos < CertificateAlignment &&
                bytes.find_first_not_of('\0', pos) >= end)
                break; // the signing tool's padding
            throw Bad(file, "stray bytes at offset " + std::to_string(pos) + " where a section should begin");
        }
        std::size_t close = pos + 1;
        while (close < end && close <= pos + 1 + LongestName && static_cast<unsigned char>(bytes[close]) != MarkerByte)
            ++close;
        if (close >= end || static_cast<unsigned char>(bytes[close]) != MarkerByte)
            throw Bad(file, "a section marker at offset " + std::to_string(pos) + " does not end");
        SectionEntry section;
        section.Offset = pos;
        for (std::size_t i = pos + 1; i < close; ++i) section.Name += static_cast<char>(bytes[i] ^ 0x55);
        if (end - (close + 1) < 4)
            throw Bad(file, "the length of " + section.Name + " at offset " + std::to_string(pos) + " is cut off");
        std::uint32_t length = 0;
        for (int i = 3; i >= 0; --i) length = (length << 8) | static_cast<unsigned char>(bytes[close + 1 + i]);
        if (length > 0x7FFFFFFFu) throw Bad(file, "the section " + section.Name + " has a negative length");
        const std::size_t dataStart = close + 5;
        if (end - dataStart < length)
            throw Bad(file, "the section " + section.Name + " runs " + std::to_string(length - (end - dataStart)) +
                                " bytes past " + endName);
        section.Size = length;
        file.Sections.push_back(section);
        pos = dataStart + length;
    }
    return file;
}

std::string SignatureText(const InstallerFile& file)
{
    if (file.CertificateSize == 0) return "not signed";
    return "signed, " + std::to_string(file.CertificateSize) + " bytes of certificate";
}

InstallerFile OpenInstaller(const std::string& fileName)
{
    return ParseInstaller(fileName, ReadInputFile(fileName, "file"));
}

bool InstallerSection(const InstallerFile& file, const std::string& name, std::string& data)
{
    return FindSection(name, file.Bytes.substr(file.ImageSize), data);
}

std::string InstallerScript(const InstallerFile& file)
{
    std::string data;
    if (!InstallerSection(file, SectionSetupCmd, data) || data.empty())
        throw Bad(file, "no command script (" + std::string(SectionSetupCmd) + ")");
    return Decompressed(file, SectionSetupCmd, data);
}

std::string InstallerUninstallList(const InstallerFile& file)
{
    std::string data;
    if (!InstallerSection(file, SectionUninst, data) || data.empty())
        throw Bad(file, "no uninstall list (" + std::string(SectionUninst) + ")");
    return Decompressed(file, SectionUninst, data);
}

CheckedInstaller CheckInstaller(const InstallerFile& file)
{
    CheckedInstaller checked;
    std::uint64_t imageEnd;
    if (!PeImageEnd(file.Bytes, imageEnd) || imageEnd > file.ImageSize)
        throw Bad(file, "the image in front of the sections is not a Windows program (no valid PE header)");
    CheckSectionPlacement(file);
    CheckLanguageSection(file);
    std::string scriptData;
    if (!InstallerSection(file, SectionSetupCmd, scriptData) || scriptData.empty()) {
        std::string list;
        if (InstallerSection(file, SectionUninst, list) && !list.empty()) {
            CheckUninstaller(file, checked);
            return checked;
        }
        throw Bad(file, "neither a command script nor an uninstall list");
    }
    const std::string script = InstallerScript(file);
    checked.Pieces = ReadScriptPieces(file, script, checked.CommandCount);

    std::string payloadData;
    if (InstallerSection(file, SectionSetupBin, payloadData) && !payloadData.empty())
        checked.Payload = Decompressed(file, SectionSetupBin, payloadData);
    CheckPayloadCheckItem(file, payloadData, checked.Payload.size());
    const std::size_t needed = checked.Pieces.empty() ? 0 : PieceEnd(checked.Pieces.back());
    if (needed != checked.Payload.size())
        throw Bad(file, "the script asks for " + std::to_string(needed) + " payload bytes, the payload holds " +
                            std::to_string(checked.Payload.size()));

    std::size_t compressed = 0;
    for (const ScriptPiece& piece : checked.Pieces) {
        if (piece.ComprLen == 0) continue;
        ++compressed;
        std::string contents;
        try {
            contents = DecompressString(checked.Payload.substr(piece.Offset, piece.ComprLen));
        } catch (const EZLibError& e) {
            throw Bad(file, "script line " + std::to_string(piece.Line) + ": the piece of " + piece.FileName +
                                " does not decompress (" + e.what() + ")");
        }
        if (contents.size() != piece.OrigLen)
            throw Bad(file, "script line " + std::to_string(piece.Line) + ": the piece of " + piece.FileName +
                                " decompresses to " + std::to_string(contents.size()) + " bytes, OrigLen says " +
                                std::to_string(piece.OrigLen));
    }
    const bool solid = PayloadFormOf(payloadData.data(), payloadData.size()) == TPayloadForm::Lzma;
    checked.Summary = file.FileName + ": installer OK: " + SignatureText(file) + ", image " + std::to_string(file.ImageSize) + " bytes, " +
                      Plural(file.Sections.size(), "section") + ", " + Plural(checked.CommandCount, "command") + ", " +
                      Plural(checked.Pieces.size(), "piece") + " (" + std::to_string(compressed) + " compressed, " +
                      std::to_string(checked.Pieces.size() - compressed) + " stored), payload " +
                      std::to_string(checked.Payload.size()) + " bytes in a " + std::to_string(payloadData.size()) + (solid ? "-byte LZMA2 section" : "-byte zlib section");
    return checked;
}

std::string PieceContents(const CheckedInstaller& checked, const ScriptPiece& piece)
{
    if (piece.ComprLen == 0) return checked.Payload.substr(piece.Offset, piece.OrigLen);
    return DecompressString(checked.Payload.substr(piece.Offset, piece.ComprLen));
}

std::string ExtractionPath(const std::string& fileName)
{
    std::string path;
    std::string part;
    const auto flush = [&]() {
        std::string name;
        for (char c : part)
            if (c != '*') name += c;
        part.clear();
        if (name.size() == 2 && name[1] == ':') name.pop_back(); // a drive letter
        if (name.empty() || name == ".") return;
        if (name == "..") throw ToolError(ExitBadInstaller, "the file name " + fileName + " leads out of its folder");
        if (!path.empty()) path += '/';
        path += name;
    };
    for (char c : fileName) {
        if (c == '\\' || c == '/')
            flush();
        else
            part += c;
    }
    flush();
    if (path.empty()) throw ToolError(ExitBadInstaller, "the file name \"" + fileName + "\" names no file");
    return path;
}

std::size_t ExtractInstaller(const InstallerFile& file, const std::string& folder)
{
    const CheckedInstaller checked = CheckInstaller(file);
    if (checked.IsUninstaller) throw Bad(file, "an uninstaller carries no files");
    // Map every name before writing anything, so a bad name writes nothing.
    std::vector<std::string> targets;
    for (const ScriptPiece& piece : checked.Pieces) targets.push_back(folder + "/" + ExtractionPath(piece.FileName));
    for (std::size_t i = 0; i < checked.Pieces.size(); ++i)
        WriteFileWhole(targets[i], PieceContents(checked, checked.Pieces[i]));
    return checked.Pieces.size();
}
