#include "container/piece_inflater.h"

#include <gtest/gtest.h>

#include <string>

#include "container/zlib_wrapper.h"
#include "support/test_support.h"

TEST(PieceInflater, InflatesWholeStreamsOneAfterAnotherAndRefusesWhatDoesNotFit)
{
    TPieceInflater inflater;
    const std::string first = MakeTestBytes(300000, true, 4), second = MakeTestBytes(70, false, 5);
    std::string room(first.size(), '\0');
    std::size_t produced = 1;

    const std::string packed = CompressString(first, LevelBest);
    ASSERT_TRUE(inflater.Inflate(packed.data(), packed.size(), &room[0], room.size(), produced));
    EXPECT_EQ(produced, first.size());
    EXPECT_TRUE(room == first);

    // More room than needed, and bytes behind the stream's end (the next piece).
    const std::string followed = CompressString(second, LevelDefault) + "next piece";
    ASSERT_TRUE(inflater.Inflate(followed.data(), followed.size(), &room[0], room.size(), produced));
    EXPECT_EQ(produced, second.size());
    EXPECT_EQ(room.substr(0, produced), second);

    // Too little room, a damaged checksum, a cut stream, nothing at all.
    EXPECT_FALSE(inflater.Inflate(packed.data(), packed.size(), &room[0], first.size() - 1, produced));
    std::string damaged = packed;
    damaged[damaged.size() - 1] ^= 1;
    EXPECT_FALSE(inflater.Inflate(damaged.data(), damaged.size(), &room[0], room.size(), produced));
    EXPECT_FALSE(inflater.Inflate(packed.data(), packed.size() - 5, &room[0], room.size(), produced));
    EXPECT_FALSE(inflater.Inflate(packed.data(), 0, &room[0], room.size(), produced));
    EXPECT_EQ(produced, 0u);

    // A failure leaves the state fit for the next piece.
    ASSERT_TRUE(inflater.Inflate(packed.data(), packed.size(), &room[0], room.size(), produced));
    EXPECT_TRUE(room == first);
}
