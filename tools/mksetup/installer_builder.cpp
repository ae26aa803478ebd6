#include "mksetup/installer_builder.h"

#include <zlib.h>

#include <algorithm>
#include <climits>
#include <filesystem>
#include <fstream>
#include <memory>
#include <vector>

#include "container/pe_image.h"
#include "container/payload_codec.h"
#include "container/sections.h"
#include "container/zlib_wrapper.h"
#include "mksetup/deflate_streams.h"
#include "mksetup/installer_reader.h"
#include "mksetup/output_file.h"
#include "mksetup/mapped_file.h"
#include "mksetup/payload_stream.h"
#include "mksetup/sha256.h"
#include "mksetup/temporary_files.h"
#include "mksetup/tool_error.h"
#include "mksetup/xz_streams.h"

namespace fs = std::filesystem;

namespace {

// Compressed files that wait for an earlier, larger one to be handed on may
// hold this much, so that the other threads go on meanwhile.
constexpr std::size_t ParkedBytes = 64 << 20;

struct PieceSizes {
    std::size_t OrigLen = 0;
    std::size_t ComprLen = 0;     // 0 when stored
    std::size_t ZlibComprLen = 0; // the same with zlib level 9 (CompareWithZlib)
    std::string Hash;             // SHA-256 of the file, hexadecimal
};

// Counts the size of one zlib level 9 stream fed in parts.
class ZlibSizeCounter {
public:
    ZlibSizeCounter()
    {
        if (deflateInit(&stream_, CompressionLevels[LevelBest]) != Z_OK)
            throw ToolError(ExitBadInput, "cannot set up zlib");
    }
    ~ZlibSizeCounter() { deflateEnd(&stream_); }
    void Add(const std::string& data, bool last = false)
    {
        stream_.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
        stream_.avail_in = static_cast<uInt>(data.size());
        int status;
        do {
            stream_.next_out = buffer_;
            stream_.avail_out = sizeof buffer_;
            status = deflate(&stream_, last ? Z_FINISH : Z_NO_FLUSH);
            size_ += sizeof buffer_ - stream_.avail_out;
        } while (stream_.avail_out == 0 || (last && status != Z_STREAM_END));
    }
    std::uint64_t Size() const { return size_; }

private:
    z_stream stream_{};
    Bytef buffer_[1 << 16];
    std::uint64_t size_ = 0;
};

std::string ScriptText(const Package& package, const std::vector<PieceSizes>& sizes, bool zlib)
{
    std::string script;
    std::size_t k = 0;
    for (const PackageLine& line : package.Lines) {
        if (!line.IsPiece) {
            script += line.Text;
        } else {
            const PieceSizes& piece = sizes[k++];
            script += PieceScriptLine(line, piece.OrigLen, zlib ? piece.ZlibComprLen : piece.ComprLen, piece.Hash);
        }
        script += "\r\n";
    }
    return script;
}

// Everything in front of the payload's data: the image, the small sections and
// the payload section's marker and length (its data follows).
std::string Head(const std::string& image, const std::string& languageData, const std::string& script,
                 std::uint64_t payloadSectionSize, const TPayloadCheck& check = TPayloadCheck())
{
    std::string head = image + MakeSection(SectionBeginningMark, std::string());
    if (!languageData.empty()) head += MakeSection(SectionSetupLng, languageData);
    head += MakeSection(SectionSetupCmd, script);
    if (payloadSectionSize > 0) {
        // The check item ahead of the payload: a file cut short keeps it, and
        // the payload's bytes cannot hide its marker.
        head += MakeSection(SectionSetupSum, MakePayloadCheck(check));
        head += MakeSectionMarker(SectionSetupBin);
        for (int shift = 0; shift < 32; shift += 8) head += static_cast<char>((payloadSectionSize >> shift) & 0xFF);
    }
    return head;
}

void WriteAt(const std::string& fileName, std::uint64_t offset, const std::string& bytes, bool create)
{
    FileWriter out(fileName, create);
    out.WriteAt(offset, bytes.data(), bytes.size());
    out.Close();
}

// Reads, compresses and spools every piece in package order; returns their sizes.
std::vector<PieceSizes> SpoolPieces(const Package& package, const BuildSettings& settings,
                                    const std::string& spoolFile, std::uint64_t& payloadSize,
                                    std::size_t& compressedPieces, ZlibSizeCounter* zlibPayload)
{
    std::vector<const PackageLine*> pieces;
    for (const PackageLine& line : package.Lines)
        if (line.IsPiece) pieces.push_back(&line);
    std::vector<PieceSizes> sizes(pieces.size());
    FileWriter spool(spoolFile, true);

    const int jobs = std::max(1, settings.Jobs);
    std::vector<std::unique_ptr<Deflater>> deflaters(static_cast<std::size_t>(jobs));
    std::size_t done = 0;
    RunInOrder(pieces.size(), jobs, ParkedBytes, [&](std::size_t index, std::size_t thread) -> OrderedResult {
        const PackageLine& piece = *pieces[index];
        std::string data = ReadPieceData(piece);
        std::string compressed, zlibCompressed;
        if (piece.MayCompress && !settings.Solid) {
            if (!deflaters[thread]) deflaters[thread] = std::make_unique<Deflater>(settings.Level);
            compressed = deflaters[thread]->Compress(data);
        }
        // The comparison is with the zlib form, whichever form is written.
        if (piece.MayCompress && zlibPayload) zlibCompressed = CompressString(data, LevelBest);
        // A piece is stored whenever its compressed form is not smaller.
        if (compressed.size() >= data.size()) std::string().swap(compressed);
        if (zlibCompressed.size() >= data.size()) std::string().swap(zlibCompressed);
        const std::size_t origLen = data.size();
        std::string hash = Sha256Hex(data);
        if (!compressed.empty() && !zlibPayload) std::string().swap(data);
        const std::size_t held = data.capacity() + compressed.capacity() + zlibCompressed.capacity();
        return {[&, index, origLen, data = std::move(data), compressed = std::move(compressed),
                 zlibCompressed = std::move(zlibCompressed), hash = std::move(hash)]() {
            sizes[index] = {origLen, compressed.size(), zlibCompressed.size(), hash};
            StopIfInterrupted();
            const std::string& carried = compressed.empty() ? data : compressed;
            spool.Append(carried.data(), carried.size());
            payloadSize += carried.size();
            if (!compressed.empty()) ++compressedPieces;
            if (zlibPayload) zlibPayload->Add(zlibCompressed.empty() ? data : zlibCompressed);
            if (settings.Progress) settings.Progress(++done, pieces.size());
        }, held};
    });
    spool.Close();
    return sizes;
}

// The whole installer read back and checked as `mksetup verify` would, or,
// for a large one, its payload stream against the spooled payload.
// (Checking whole holds the file and its payload in memory.)
void CheckWritten(const std::string& fileName, std::uint64_t size, std::uint64_t wholeCheckLimit,
                  std::uint64_t payloadOffset, std::uint64_t payloadSectionSize, const std::string& spoolFile)
{
    if (size <= wholeCheckLimit) {
        CheckInstaller(OpenInstaller(fileName));
    } else if (!SectionDecodesTo(fileName, payloadOffset, payloadSectionSize, spoolFile)) {
        throw ToolError(ExitBadInstaller, fileName + ": the payload section does not inflate to the payload");
    }
}

// Moves length bytes at from one byte up, from the end backwards, a piece at
// a time.
void MoveUpOneByte(const std::string& fileName, std::uint64_t from, std::uint64_t length)
{
    std::ifstream in(fileName, std::ios::binary);
    FileWriter out(fileName, false);
    std::string piece(1 << 20, '\0');
    for (std::uint64_t end = from + length; end > from;) {
        const std::size_t size = static_cast<std::size_t>(std::min<std::uint64_t>(piece.size(), end - from));
        end -= size;
        if (!in.seekg(static_cast<std::streamoff>(end)) || !in.read(&piece[0], static_cast<std::streamsize>(size)))
            throw ToolError(ExitWriteFailed, "cannot read back " + fileName);
        out.WriteAt(end + 1, piece.data(), size);
    }
    out.Close();
}

// Sets the checksum field for the file as written (the field counts as zero).
void SetFileChecksum(const std::string& fileName, std::size_t checksumAt)
{
    WriteAt(fileName, checksumAt, std::string(4, '\0'), false);
    std::ifstream in(fileName, std::ios::binary);
    std::string piece(1 << 20, '\0');
    TPeChecksum checksum;
    while (in) {
        in.read(&piece[0], static_cast<std::streamsize>(piece.size()));
        checksum.Add(piece.data(), static_cast<std::size_t>(in.gcount()));
    }
    if (in.bad()) throw ToolError(ExitWriteFailed, "cannot read back " + fileName);
    const std::uint32_t value = checksum.Finish();
    std::string field;
    for (int shift = 0; shift < 32; shift += 8) field += static_cast<char>((value >> shift) & 0xFF);
    WriteAt(fileName, checksumAt, field, false);
}

} // namespace

std::string StubImage(const std::string& stubBytes)
{
    std::string image, carried;
    SplitAtBeginMarker(stubBytes, image, carried);
    std::uint64_t end;
    if (!PeImageEnd(image, end) || end > image.size())
        throw ToolError(ExitBadInput, "the stub is not a Windows program (no valid PE header)");
    // An entry that is not a signature ending the file (signatures are
    // dropped before) would point into the sections.
    ClearPeSecurityDirectory(image);
    return image;
}

BuildResult BuildInstaller(const Package& package, const std::string& stubBytes, const std::string& languageData,
                           const BuildSettings& settings, const std::string& outputFile)
{
    BuildResult result;
    std::string image = StubImage(stubBytes);
    if (settings.Solid && !StubReadsSolidForm(image))
        throw ToolError(ExitBadInput, "the stub cannot read an LZMA payload (an older Setup.exe): give a newer "
                                      "stub, or --compress zlib");

    std::uint64_t total = 0;
    for (const PackageLine& line : package.Lines)
        if (line.IsPiece) {
            ++result.PieceCount;
            total += line.Size;
        }
    // The installer reads sizes as signed 32-bit numbers.
    if (total > static_cast<std::uint64_t>(INT_MAX))
        throw ToolError(ExitBadInput, package.FileName + ": the files add up to 2 GiB or more");

    const fs::path target(outputFile);
    std::error_code error;
    if (target.has_parent_path()) fs::create_directories(target.parent_path(), error);
    if (error) throw ToolError(ExitWriteFailed, "cannot create the folder of " + outputFile + ": " + error.message());
    // Both are removed however the build ends, an interrupt included.
    const TemporaryFile spool(outputFile + ".mksetup-payload");
    TemporaryFile partial(outputFile + ".mksetup-partial");
    const std::string& spoolFile = spool.Path();
    const std::string& partialFile = partial.Path();

    std::unique_ptr<ZlibSizeCounter> zlibPayload;
    if (settings.CompareWithZlib) zlibPayload = std::make_unique<ZlibSizeCounter>();
    const std::vector<PieceSizes> sizes =
        SpoolPieces(package, settings, spoolFile, result.PayloadSize, result.CompressedPieces, zlibPayload.get());
    if (result.PayloadSize > static_cast<std::uint64_t>(INT_MAX))
        throw ToolError(ExitBadInput, package.FileName + ": the payload comes to 2 GiB or more");

    const std::string script = Deflater(settings.Level).Compress(ScriptText(package, sizes, false));
    result.ScriptSectionSize = script.size();
    // A Windows program of even length: checksum tools disagree on an odd
    // file's last byte (the image checksum counts it, osslsigncode drops it).
    // The pad is a zero byte between the image and the sections, which are
    // found by their begin marker.
    std::size_t checksumAt = 0;
    const bool peImage = PeChecksumOffset(image, checksumAt);
    if (peImage && result.PayloadSize == 0 && Head(image, languageData, script, 0).size() % 2 != 0) image += '\0';
    // The payload section's length is known once its stream is made; until
    // then a placeholder of the same width stands in the head.
    std::string head = Head(image, languageData, script, result.PayloadSize > 0 ? 1 : 0);
    StopIfInterrupted();
    WriteAt(partialFile, 0, head, true);
    if (result.PayloadSize > 0) {
        XzSettings xz;
        xz.Level = settings.Level;
        xz.Threads = settings.Jobs;
        result.PayloadSectionSize = settings.Solid ? XzFileInto(spoolFile, partialFile, head.size(), xz)
                                                   : DeflateFileInto(spoolFile, partialFile, head.size(), settings.Level);
        if (result.PayloadSectionSize > static_cast<std::uint64_t>(INT_MAX))
            throw ToolError(ExitBadInput, package.FileName + ": the payload's stream comes to 2 GiB or more");
        if (peImage && (head.size() + result.PayloadSectionSize) % 2 != 0) {
            // Known only now: the stream moves up by one byte for the pad.
            MoveUpOneByte(partialFile, head.size(), result.PayloadSectionSize);
            image += '\0';
        }
        TPayloadCheck check;
        check.SectionLength = result.PayloadSectionSize;
        check.DecodedSize = result.PayloadSize;
        // Read back where the payload now lies (behind the pad, if one was added).
        const std::size_t payloadAt = Head(image, languageData, script, result.PayloadSectionSize).size();
        check.SectionCrc = FileCrc(partialFile, payloadAt, result.PayloadSectionSize);
        head = Head(image, languageData, script, result.PayloadSectionSize, check);
        WriteAt(partialFile, 0, head, false);
    }
    result.ImageSize = image.size();
    result.InstallerSize = head.size() + result.PayloadSectionSize;
    if (peImage) SetFileChecksum(partialFile, checksumAt);

    // Never write an installer that its own checks would reject.
    CheckWritten(partialFile, result.InstallerSize, settings.WholeCheckLimit, head.size(), result.PayloadSectionSize, spoolFile);
    StopIfInterrupted();
    fs::rename(partialFile, target, error);
    if (error) throw ToolError(ExitWriteFailed, "cannot write " + outputFile + ": " + error.message());
    partial.Keep();

    if (zlibPayload) {
        zlibPayload->Add(std::string(), true);
        const std::string zlibScript = CompressString(ScriptText(package, sizes, true), LevelBest);
        result.ZlibInstallerSize = Head(image, languageData, zlibScript, result.PayloadSize > 0 ? 1 : 0).size() +
                                   (result.PayloadSize > 0 ? zlibPayload->Size() : 0);
    }
    return result;
}
