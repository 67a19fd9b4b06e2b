#pragma once
// Small, fast and fully reproducible random source for the simulator's noise.

#include <cstdint>

class Rng
{
public:
    explicit Rng(std::uint64_t seed = 1) { reseed(seed); }

    void reseed(std::uint64_t seed)
    {
        // splitmix64 spreads any seed (0 included) over the whole state.
        std::uint64_t z = seed;
        for (auto &s : state_) {
            z += 0x9e3779b97f4a7c15ULL;
            std::uint64_t x = z;
            x = (x ^ (x >> 30)) * 0xbf58476d1ce4e5b9ULL;
            x = (x ^ (x >> 27)) * 0x94d049bb133111ebULL;
            s = x ^ (x >> 31);
        }
    }

    // xoshiro256**
    std::uint64_t next()
    {
        const std::uint64_t result = rotl(state_[1] * 5, 7) * 9;
        const std::uint64_t t = state_[1] << 17;
        state_[2] ^= state_[0];
        state_[3] ^= state_[1];
        state_[1] ^= state_[2];
        state_[0] ^= state_[3];
        state_[2] ^= t;
        state_[3] = rotl(state_[3], 45);
        return result;
    }

    // Uniform in [0, 1).
    double uniform() { return static_cast<double>(next() >> 11) * (1.0 / 9007199254740992.0); }

    // Approximately standard normal: the sum of four 16-bit uniforms (Irwin-Hall),
    // one draw per value. Tails end near 3.5 sigma, which is fine for sensor noise
    // and far cheaper than Box-Muller at 50000 records a second.
    double gauss()
    {
        const std::uint64_t r = next();
        const double sum = static_cast<double>((r & 0xffff) + ((r >> 16) & 0xffff) + ((r >> 32) & 0xffff)
                                               + (r >> 48));
        return (sum - 131070.0) * (1.0 / 37837.23);
    }

private:
    static std::uint64_t rotl(std::uint64_t x, int k) { return (x << k) | (x >> (64 - k)); }
    std::uint64_t state_[4];
};
