#pragma once  // search/random.hpp: a random stream that is the same on every machine
#include <cstdint>

namespace blocknest {

// splitmix64: small, fast, and defined bit for bit, unlike the standard distributions, whose
// results differ between libraries.
class Random {
public:
    explicit Random(std::uint64_t seed) : state_(seed) {}

    std::uint64_t next() {
        std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }

    // A whole number in [0, bound), bound > 0; the modulo bias is below 2^-40 for the bounds
    // a search uses.
    int below(int bound) { return static_cast<int>(next() % static_cast<std::uint64_t>(bound)); }

    // A number in [0, 1) with 53 random bits.
    double unit() { return static_cast<double>(next() >> 11) * 0x1.0p-53; }

    // True with the probability numerator / denominator.
    bool chance(int numerator, int denominator) { return below(denominator) < numerator; }

private:
    std::uint64_t state_;
};

}  // namespace blocknest
