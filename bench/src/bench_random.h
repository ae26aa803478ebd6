#pragma once
// A small, fully specified random generator (xoshiro256** seeded by
// splitmix64), so that a seed gives the same payload with every compiler and
// standard library; the std distributions do not promise that.
#include <cstdint>

class TBenchRandom {
public:
    explicit TBenchRandom(std::uint64_t seed)
    {
        for (std::uint64_t& word : state_) word = SplitMix(seed);
    }

    std::uint64_t Next()
    {
        const std::uint64_t result = Rotl(state_[1] * 5, 7) * 9;
        const std::uint64_t t = state_[1] << 17;
        state_[2] ^= state_[0];
        state_[3] ^= state_[1];
        state_[1] ^= state_[2];
        state_[0] ^= state_[3];
        state_[2] ^= t;
        state_[3] = Rotl(state_[3], 45);
        return result;
    }

    // Uniform in [0, bound); bound > 0. The multiply-shift keeps it integer-only.
    std::uint64_t Below(std::uint64_t bound)
    {
        return static_cast<std::uint64_t>((static_cast<unsigned __int128>(Next()) * bound) >> 64);
    }

    // Uniform in [low, high].
    std::uint64_t Between(std::uint64_t low, std::uint64_t high) { return low + Below(high - low + 1); }

    // True with the probability percent / 100.
    bool Percent(unsigned percent) { return Below(100) < percent; }

private:
    static std::uint64_t Rotl(std::uint64_t x, int k) { return (x << k) | (x >> (64 - k)); }
    static std::uint64_t SplitMix(std::uint64_t& x)
    {
        std::uint64_t z = (x += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }

    std::uint64_t state_[4];
};

// A seed of its own for every file, so that one file's contents do not depend
// on how much randomness the files before it used.
inline std::uint64_t DeriveSeed(std::uint64_t seed, std::uint64_t index)
{
    TBenchRandom mixer(seed ^ (index * 0xD1B54A32D192ED03ull));
    return mixer.Next();
}
