#include "installer_streams.h"

#include <gtest/gtest.h>
#include <zlib.h>

namespace {

std::string Zlib(const std::string& data)
{
    uLongf size = compressBound(data.size());
    std::string out(size, '\0');
    compress2(reinterpret_cast<Bytef*>(&out[0]), &size, reinterpret_cast<const Bytef*>(data.data()), data.size(), 9);
    out.resize(size);
    return out;
}

// A section as the installer stores it, built here byte by byte.
std::string Section(const std::string& name, const std::string& data)
{
    std::string out = "\xF7";
    for (char c : name) out += static_cast<char>(c ^ 0x55);
    out += '\xF7';
    const std::uint32_t n = static_cast<std::uint32_t>(data.size());
    for (int b = 0; b < 4; ++b) out += static_cast<char>((n >> (8 * b)) & 0xFF);
    return out + data;
}

} // namespace

TEST(InstallerStreams, FindsSectionsAndThePiecesOfTheScript)
{
    const std::string stored = "plain", packedText(3000, 'x');
    const std::string packed = Zlib(packedText);
    const std::string script = "action=path,PgmPath=*Programs*\\P\\\r\n"
                               "action=save,OrigLen=5,Filename=*PgmPath*\\a.txt\r\n"
                               "action=saveifnotexists,OrigLen=3000,ComprLen=" +
                               std::to_string(packed.size()) +
                               ",\"Filename=*PgmPath*\\b, c.txt\"\r\n"
                               "action=icon,file=*PgmPath*\\a.txt,lnk=x.lnk";
    const std::string file = std::string("MZ image") + Section("Section:BeginningMark", "") +
                             Section("Section:Setup.cmd", Zlib(script)) +
                             Section("Section:Setup.bin", Zlib(stored + packed));

    std::string data;
    ASSERT_TRUE(FindNamedSection(file, "Section:Setup.cmd", data));
    std::string text;
    ASSERT_TRUE(InflateWhole(data, 0, text));
    EXPECT_EQ(text, script);
    std::vector<TPiece> pieces;
    std::string message;
    ASSERT_TRUE(ScriptPieces(text, pieces, message)) << message;
    ASSERT_EQ(pieces.size(), 2u) << "only save lines carry pieces";
    EXPECT_EQ(pieces[0].OrigLen, 5u);
    EXPECT_EQ(pieces[0].ComprLen, 0u) << "no ComprLen: stored";
    EXPECT_EQ(pieces[1].OrigLen, 3000u);
    EXPECT_EQ(pieces[1].ComprLen, packed.size());

    ASSERT_TRUE(FindNamedSection(file, "Section:Setup.bin", data));
    std::string payload, piece;
    ASSERT_TRUE(InflateWhole(data, 5 + packed.size(), payload));
    EXPECT_EQ(payload.substr(0, 5), stored);
    ASSERT_TRUE(InflateWhole(payload.data() + 5, packed.size(), 3000, piece));
    EXPECT_EQ(piece, packedText);
    EXPECT_FALSE(FindNamedSection(file, "Section:Uninst", data)) << "an absent section is not found";
}

TEST(InstallerStreams, DamagedInputIsRefused)
{
    std::string data;
    const std::string section = Section("Section:Setup.bin", "0123456789");
    EXPECT_FALSE(FindNamedSection(section.substr(0, section.size() - 1), "Section:Setup.bin", data))
        << "a length beyond the end of the file";
    EXPECT_FALSE(FindNamedSection(section.substr(0, 20), "Section:Setup.bin", data)) << "no room for the length";

    const std::string stream = Zlib(std::string(10000, 'q'));
    std::string out;
    EXPECT_FALSE(InflateWhole(stream.substr(0, stream.size() - 3), 10000, out)) << "truncated stream";
    EXPECT_FALSE(InflateWhole(stream + "junk", 10000, out)) << "bytes after the stream";
    EXPECT_FALSE(InflateWhole(std::string("not zlib at all"), 0, out)) << "no zlib header";
    EXPECT_TRUE(InflateWhole(stream, 1, out)) << "a too small size guess only costs a larger buffer";
    EXPECT_EQ(out, std::string(10000, 'q'));

    std::vector<TPiece> pieces;
    std::string message;
    EXPECT_FALSE(ScriptPieces("action=save,OrigLen=12x,Filename=a\r\n", pieces, message));
    EXPECT_NE(message.find("line 1"), std::string::npos) << message;
    EXPECT_FALSE(ScriptPieces("action=path\r\naction=save,Filename=a\r\n", pieces, message)) << "no OrigLen";
    EXPECT_NE(message.find("line 2"), std::string::npos) << message;
    EXPECT_FALSE(ScriptPieces("action=save,OrigLen=4,ComprLen=0,Filename=a", pieces, message)) << "ComprLen 0";
}
