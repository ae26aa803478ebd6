#include "engine/piece_prefetch.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "container/zlib_wrapper.h"
#include "support/test_support.h"

namespace {

struct TScript {
    std::vector<std::string> Lines;
    std::string Payload;
};

// Stored and compressed pieces between lines that take nothing, one piece far
// larger than the budgets below, and a last command that asks for more than
// is left.
TScript MixedScript()
{
    TScript script;
    const std::string stored = MakeTestBytes(3000, false, 1);
    const std::string big = MakeTestBytes(200000, true, 2);
    const std::string packed = CompressString(big, LevelDefault);
    const std::string small = MakeTestBytes(40, false, 3);
    script.Payload = stored + packed + small;
    script.Lines = {
        "action=path,PgmPath=C:\\P\\",
        "action=save,OrigLen=3000,Filename=*PgmPath*\\a.bin",
        "action=icon,Name=x",
        "action=saveifnotexists,OrigLen=5,ComprLen=" + std::to_string(packed.size()) + ",Filename=b.txt",
        "action=save,OrigLen=0,Filename=zero.bin",
        "action=save,OrigLen=40,Filename=c.bin",
        "action=saveXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXX,OrigLen=1,Filename=ignored-longer-action",
        "action=save,OrigLen=41,Filename=short.bin",
    };
    return script;
}

std::vector<TCutPiece> CutOneAfterAnother(const TScript& script)
{
    TPayload payload;
    payload.Data = script.Payload;
    std::vector<TCutPiece> cuts;
    for (const std::string& line : script.Lines) {
        const TParams params = SplitCommaText(line);
        const std::string action = ParamValue(params, "action");
        if (action == "save" || action == "saveifnotexists") cuts.push_back(CutPiece(params, payload));
    }
    return cuts;
}

} // namespace

std::string ErrorOf(const TPieceView& view)
{
    return view.ErrorStart ? view.ErrorStart : "";
}

TEST(PiecePrefetch, GivesWhatCuttingOneAfterAnotherGivesWhateverTheLimits)
{
    const TScript script = MixedScript();
    const std::vector<TCutPiece> expected = CutOneAfterAnother(script);
    ASSERT_EQ(expected.size(), 5u);
    EXPECT_EQ(expected[1].Piece.size(), 200000u) << "the stated OrigLen does not limit the inflated piece";
    EXPECT_EQ(expected[2].ErrorStart, "OrigLen is 0 in ");
    EXPECT_EQ(expected[4].ErrorStart, "data error in ");

    // A ring too small for all but the last piece, one that wraps, and roomy ones.
    const std::vector<TPiecePrefetch::TLimits> limits = {
        {64, 1, 1}, {6100, 1000, 2}, {7000, 1000, 3}, {1u << 20, 1u << 24, 4096}};
    for (const TPiecePrefetch::TLimits& limit : limits) {
        TPayload payload;
        payload.Data = script.Payload;
        TPayload prefetched = PrefetchPieces(script.Lines, std::move(payload), limit);
        for (std::size_t i = 0; i < expected.size(); ++i) {
            const TPieceView view = prefetched.Prefetch->Next();
            EXPECT_TRUE(std::string(view.Data, view.Size) == expected[i].Piece)
                << "piece " << i << ", ring " << limit.RingSize;
            EXPECT_EQ(ErrorOf(view), expected[i].ErrorStart) << "piece " << i << ", ring " << limit.RingSize;
        }
        EXPECT_EQ(ErrorOf(prefetched.Prefetch->Next()), "data error in ") << "nothing is left after the last";
    }
}

TEST(PiecePrefetch, SkippedPiecesArePassedOverAndTheRestStaysInPlace)
{
    const TScript script = MixedScript();
    TPayload payload;
    payload.Data = script.Payload;
    // One slot: piece 1 cannot be prepared before piece 0 is taken, so
    // asking now is in time for it. Piece 2 (zero size) keeps its error.
    TPayload prefetched = PrefetchPieces(script.Lines, std::move(payload), {64, 1, 1});
    prefetched.Prefetch->SkipPieces({1, 2});
    const std::vector<TCutPiece> cuts = CutOneAfterAnother(script);
    const TPieceView first = prefetched.Prefetch->Next();
    EXPECT_EQ(std::string(first.Data, first.Size), cuts[0].Piece);
    const TPieceView skipped = prefetched.Prefetch->Next();
    EXPECT_TRUE(skipped.Skipped && skipped.Size == 0 && !skipped.ErrorStart);
    const TPieceView zero = prefetched.Prefetch->Next();
    EXPECT_EQ(ErrorOf(zero), "OrigLen is 0 in ");
    const TPieceView small = prefetched.Prefetch->Next();
    EXPECT_FALSE(small.Skipped);
    EXPECT_EQ(std::string(small.Data, small.Size), cuts[3].Piece) << "the payload moved on by the skipped piece";
}

TEST(PiecePrefetch, ManyPiecesComeOutUnchangedRoundTheRingAndInBlocksOfTheirOwn)
{
    std::vector<std::string> lines;
    std::string payload;
    std::vector<std::string> pieces;
    for (unsigned i = 0; i < 300; ++i) {
        pieces.push_back(MakeTestBytes(100 + (i * 37) % 900, i % 3 == 0, i));
        if (i % 2 == 0) {
            const std::string packed = CompressString(pieces.back(), LevelDefault);
            lines.push_back("action=save,OrigLen=" + std::to_string(pieces.back().size()) +
                            ",ComprLen=" + std::to_string(packed.size()) + ",Filename=f");
            payload += packed;
        } else {
            lines.push_back("action=save,OrigLen=" + std::to_string(pieces.back().size()) + ",Filename=f");
            payload += pieces.back();
        }
    }
    // A ring for all of them; then a ring too small for any, so that every
    // piece takes a block of its own.
    for (const TPiecePrefetch::TLimits& limits : {TPiecePrefetch::TLimits{2500, 1, 7}, {64, 3000, 7}}) {
        TPayload source;
        source.Data = payload;
        TPayload prefetched = PrefetchPieces(lines, std::move(source), limits);
        for (std::size_t i = 0; i < pieces.size(); ++i) {
            const TPieceView view = prefetched.Prefetch->Next();
            ASSERT_EQ(ErrorOf(view), "") << "piece " << i << ", ring " << limits.RingSize;
            ASSERT_TRUE(std::string(view.Data, view.Size) == pieces[i]) << "piece " << i << ", ring " << limits.RingSize;
        }
    }
}

TEST(PiecePrefetch, AStreamThatIsNoZlibRaisesAtItsOwnCommandOnly)
{
    const std::string good = MakeTestBytes(100, false, 4);
    const std::vector<std::string> lines = {"action=save,OrigLen=100,Filename=a",
                                            "action=save,OrigLen=10,ComprLen=10,Filename=b",
                                            "action=save,OrigLen=1,Filename=c"};
    TPayload payload;
    payload.Data = good + "not zlib!!" + "z";
    TPayload prefetched = PrefetchPieces(lines, std::move(payload), {64, 1, 1});
    const TPieceView first = prefetched.Prefetch->Next();
    EXPECT_TRUE(std::string(first.Data, first.Size) == good);
    EXPECT_ANY_THROW(prefetched.Prefetch->Next());
}

TEST(PiecePrefetch, ARunThatEndsEarlyStopsTheThreadWhileItWaitsForRoom)
{
    std::vector<std::string> lines;
    for (int i = 0; i < 50; ++i) lines.push_back("action=save,OrigLen=1000,Filename=f" + std::to_string(i));
    TPayload payload;
    payload.Data = MakeTestBytes(50 * 1000, false, 5);
    {
        TPayload prefetched = PrefetchPieces(lines, std::move(payload), {2000, 1, 2});
        const TPieceView view = prefetched.Prefetch->Next();
        EXPECT_TRUE(std::string(view.Data, view.Size) == MakeTestBytes(50 * 1000, false, 5).substr(0, 1000));
    } // a hang here means the thread was never told to stop
}
