#include "mksetup/installer_builder.h"

#include <climits>
#include <vector>

#include "container/sections.h"
#include "container/zlib_wrapper.h"
#include "mksetup/deflate_streams.h"
#include "mksetup/tool_error.h"

namespace {

struct Streams {
    std::string Script;  // as text
    std::string Payload; // decompressed
    std::size_t CompressedPieces = 0;
};

// The script text and the payload, given each piece's compressed form; a piece
// is stored whenever its compressed form is not smaller.
Streams Assemble(const Package& package, const std::vector<std::string>& compressedPieces)
{
    Streams streams;
    std::size_t k = 0;
    for (const PackageLine& line : package.Lines) {
        if (!line.IsPiece) {
            streams.Script += line.Text;
        } else {
            const std::string& compressed = compressedPieces[k++];
            const bool store = !line.MayCompress || compressed.size() >= line.Data.size();
            streams.Script += PieceScriptLine(line, line.Data.size(), store ? 0 : compressed.size());
            streams.Payload += store ? line.Data : compressed;
            if (!store) ++streams.CompressedPieces;
        }
        streams.Script += "\r\n";
    }
    return streams;
}

std::string Container(const std::string& languageData, const std::string& script, const std::string& payload)
{
    std::string sections = MakeSection(SectionBeginningMark, std::string());
    if (!languageData.empty()) sections += MakeSection(SectionSetupLng, languageData);
    sections += MakeSection(SectionSetupCmd, script);
    if (!payload.empty()) sections += MakeSection(SectionSetupBin, payload);
    return sections;
}

std::size_t ZlibInstallerSize(const Package& package, std::size_t imageSize, const std::string& languageData)
{
    std::vector<std::string> pieces;
    for (const PackageLine& line : package.Lines)
        if (line.IsPiece) pieces.push_back(CompressString(line.Data, LevelBest));
    const Streams streams = Assemble(package, pieces);
    const std::string payload = streams.Payload.empty() ? std::string() : CompressString(streams.Payload, LevelBest);
    return imageSize + Container(languageData, CompressString(streams.Script, LevelBest), payload).size();
}

} // namespace

BuildResult BuildInstaller(const Package& package, const std::string& stubBytes, const std::string& languageData,
                           const BuildSettings& settings)
{
    BuildResult result;
    std::string image, carried;
    SplitAtBeginMarker(stubBytes, image, carried);
    if (image.size() < 2 || image.compare(0, 2, "MZ") != 0)
        throw ToolError(ExitBadInput, "the stub is not a Windows program");
    result.ImageSize = image.size();

    std::vector<const std::string*> inputs;
    std::size_t total = 0;
    for (const PackageLine& line : package.Lines)
        if (line.IsPiece) {
            inputs.push_back(&line.Data);
            total += line.Data.size();
        }
    // The installer reads sizes as signed 32-bit numbers.
    if (total > static_cast<std::size_t>(INT_MAX))
        throw ToolError(ExitBadInput, package.FileName + ": the files add up to 2 GiB or more");
    const std::vector<std::string> compressed = DeflateAll(inputs, settings.Level, settings.Jobs, settings.Progress);
    const Streams streams = Assemble(package, compressed);

    const std::string* last[] = {&streams.Script, &streams.Payload};
    std::vector<const std::string*> finalInputs(last, last + (streams.Payload.empty() ? 1 : 2));
    const std::vector<std::string> finalStreams = DeflateAll(finalInputs, settings.Level, settings.Jobs, nullptr);
    const std::string payloadSection = streams.Payload.empty() ? std::string() : finalStreams[1];

    result.Bytes = image + Container(languageData, finalStreams[0], payloadSection);
    result.PieceCount = inputs.size();
    result.CompressedPieces = streams.CompressedPieces;
    result.PayloadSize = streams.Payload.size();
    result.PayloadSectionSize = payloadSection.size();
    result.ScriptSectionSize = finalStreams[0].size();
    if (settings.CompareWithZlib) result.ZlibInstallerSize = ZlibInstallerSize(package, image.size(), languageData);
    return result;
}
