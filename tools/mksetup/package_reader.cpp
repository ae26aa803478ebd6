#include "mksetup/package_reader.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "mksetup/output_file.h"
#include "mksetup/script_rules.h"
#include "mksetup/tool_error.h"
#include "util/text_compare.h"

namespace fs = std::filesystem;

namespace {

[[noreturn]] void Fail(const std::string& origin, const std::string& problem)
{
    throw ToolError(ExitBadInput, origin + ": " + problem);
}

std::string ItemName(const std::string& item)
{
    const std::size_t equals = item.find('=');
    return equals == std::string::npos ? std::string() : item.substr(0, equals);
}

// A Source= path: relative to the package's folder, '\' or '/' between names.
fs::path SourcePath(const fs::path& packageFolder, std::string source)
{
    std::replace(source.begin(), source.end(), '\\', '/');
    const fs::path path(source);
    return path.is_absolute() ? path : packageFolder / path;
}

// The size of a piece's file; its bytes are read only when it is packed, so
// that a package is never held whole.
std::uint64_t PieceFileSize(const std::string& origin, const fs::path& path)
{
    std::error_code error;
    if (!fs::exists(path, error)) Fail(origin, "source " + path.string() + " does not exist");
    if (fs::is_directory(path, error))
        Fail(origin, "source " + path.string() + " is a folder (action=savedir takes folders)");
    const auto size = fs::file_size(path, error);
    if (error) Fail(origin, "cannot read source " + path.string() + ": " + error.message());
    if (size == 0)
        Fail(origin, "source " + path.string() + " is empty (OrigLen must be above 0, so an installer cannot carry an empty file)");
    if (size > 0x7FFFFFFFull) Fail(origin, "source " + path.string() + " is 2 GiB or larger");
    return size;
}

bool ReadCompressFlag(const std::string& origin, const TParams& items)
{
    if (!HasParam(items, "Compress")) return true;
    const std::string value = ParamValue(items, "Compress");
    if (SameTextIgnoreCase(value, "no")) return false;
    if (SameTextIgnoreCase(value, "yes")) return true;
    Fail(origin, "Compress=" + value + " is neither yes nor no");
}

// The items of a piece line without the packer's own items.
PackageLine PieceFromItems(const std::string& origin, const TParams& items)
{
    PackageLine piece;
    piece.Origin = origin;
    piece.IsPiece = true;
    piece.MayCompress = ReadCompressFlag(origin, items);
    bool actionSeen = false;
    for (const std::string& item : items) {
        const std::string name = ItemName(item);
        if (SameTextIgnoreCase(name, "Source") || SameTextIgnoreCase(name, "Compress")) continue;
        if (!actionSeen && SameTextIgnoreCase(name, "action")) {
            piece.ActionIndex = piece.Items.size();
            actionSeen = true;
        }
        piece.Items.push_back(item);
    }
    return piece;
}

bool IsPlainAscii(const std::string& text)
{
    return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// One "save" line per regular file below the folder, ordered by the target
// name byte for byte so that the same folder always packs the same way.
void ExpandSaveDir(const std::string& origin, const TParams& items, const fs::path& packageFolder, Package& package)
{
    const std::string source = ParamValue(items, "Source");
    std::string target = ParamValue(items, "Filename");
    if (target.empty()) Fail(origin, "action=savedir needs Filename=TARGETFOLDER\\");
    if (target.back() != '\\') target += '\\';
    const bool mayCompress = ReadCompressFlag(origin, items);
    const fs::path folder = SourcePath(packageFolder, source);
    std::error_code error;
    if (!fs::is_directory(folder, error)) Fail(origin, "source folder " + folder.string() + " does not exist");

    std::vector<std::pair<std::string, fs::path>> files;
    fs::recursive_directory_iterator it(folder, error), end;
    if (error) Fail(origin, "cannot read the folder " + folder.string() + ": " + error.message());
    for (; it != end; it.increment(error)) {
        if (error) Fail(origin, "cannot read the folder " + folder.string() + ": " + error.message());
        if (!it->is_regular_file(error)) continue;
        std::string relative = it->path().lexically_relative(folder).generic_string();
        if (!IsPlainAscii(relative))
            Fail(origin, "file name " + relative + " is not plain ASCII; name it in a save line of its own");
        std::replace(relative.begin(), relative.end(), '/', '\\');
        files.emplace_back(relative, it->path());
    }
    if (error) Fail(origin, "cannot read the folder " + folder.string() + ": " + error.message());
    if (files.empty()) Fail(origin, "source folder " + folder.string() + " holds no files");
    std::sort(files.begin(), files.end());

    for (const auto& [relative, path] : files) {
        PackageLine piece;
        piece.Origin = origin;
        piece.IsPiece = true;
        piece.MayCompress = mayCompress;
        piece.Items = {"action=save", "Filename=" + target + relative};
        piece.ActionIndex = 0;
        piece.SourceName = path.string();
        piece.Size = PieceFileSize(origin, path);
        package.Lines.push_back(std::move(piece));
    }
}

void ReadLine(const std::string& origin, const std::string& line, const fs::path& packageFolder, Package& package)
{
    bool unclosedQuote = false;
    const TParams items = SplitCommaText(line, &unclosedQuote);
    // The installer would silently drop the line's last character.
    if (unclosedQuote) Fail(origin, "unbalanced quote");
    if (!HasParam(items, "action")) Fail(origin, "no action (every line needs action=...)");
    const std::string action = ParamValue(items, "action");
    const bool isSave = action == "save" || action == "saveifnotexists";
    const bool isSaveDir = action == "savedir";
    if (!isSave && !isSaveDir && !IsKnownAction(action)) Fail(origin, "unknown action \"" + action + "\"");

    for (const std::string& bare : ItemsWithoutName(items))
        package.Warnings.push_back(origin + ": the item \"" + bare +
                                   "\" has no name and is ignored (quote a value with blanks whole)");

    if (!isSave && !isSaveDir) {
        PackageLine kept;
        kept.Origin = origin;
        kept.Text = line;
        package.Lines.push_back(std::move(kept));
        return;
    }
    // A Hash= of the author's would outlive the file it was taken from.
    if (HasParam(items, "OrigLen") || HasParam(items, "ComprLen") || HasParam(items, "Hash"))
        Fail(origin, "OrigLen, ComprLen and Hash are written by the packer; give Source= instead");
    if (!HasParam(items, "Source") || ParamValue(items, "Source").empty()) Fail(origin, "Source= is missing");
    if (isSaveDir) {
        ExpandSaveDir(origin, items, packageFolder, package);
        return;
    }
    if (ParamValue(items, "Filename").empty()) Fail(origin, "Filename= is missing");
    PackageLine piece = PieceFromItems(origin, items);
    const fs::path path = SourcePath(packageFolder, ParamValue(items, "Source"));
    piece.SourceName = path.string();
    piece.Size = PieceFileSize(origin, path);
    package.Lines.push_back(std::move(piece));
}

} // namespace

Package ReadPackage(const std::string& packageFile)
{
    Package package;
    package.FileName = packageFile;
    std::string text;
    try {
        text = ReadInputFile(packageFile, "package");
    } catch (const ToolError& e) {
        throw ToolError(ExitBadInput, e.what());
    }
    if (text.find('\0') != std::string::npos)
        throw ToolError(ExitBadInput, packageFile + ": holds a zero byte (is it UTF-16? write it as 8-bit text)");
    const fs::path packageFolder = fs::path(packageFile).parent_path();
    const std::vector<std::string> lines = SplitLines(text);
    for (std::size_t i = 0; i < lines.size(); ++i)
        ReadLine(packageFile + ":" + std::to_string(i + 1), lines[i], packageFolder, package);
    if (package.Lines.empty()) throw ToolError(ExitBadInput, packageFile + ": holds no command");
    return package;
}

std::string ReadPieceData(const PackageLine& piece)
{
    std::string data;
    try {
        data = ReadInputFile(piece.SourceName, "source");
    } catch (const ToolError& e) {
        Fail(piece.Origin, e.what());
    }
    if (data.size() > 0x7FFFFFFFull) Fail(piece.Origin, "source " + piece.SourceName + " is 2 GiB or larger");
    return data;
}

std::string PieceScriptLine(const PackageLine& piece, std::size_t origLen, std::size_t comprLen,
                            const std::string& hash)
{
    TParams items = piece.Items;
    std::vector<std::string> sizes = {"OrigLen=" + std::to_string(origLen)};
    if (comprLen > 0) sizes.push_back("ComprLen=" + std::to_string(comprLen));
    items.insert(items.begin() + static_cast<std::ptrdiff_t>(piece.ActionIndex) + 1, sizes.begin(), sizes.end());
    if (!hash.empty()) items.push_back("Hash=" + hash);
    return JoinCommaText(items);
}
