// The random numbers of the synthetic installation generator.
//
// The generator must write the same bytes for the same seed on every machine and with every
// compiler (the native and the MinGW build alike), so it uses its own generator (SplitMix64)
// and integer arithmetic only, never the standard library's distributions, whose results are
// left to each implementation.
#pragma once

#include <cstddef>
#include <cstdint>

namespace quillax::synth {

class Random {
public:
    explicit Random(std::uint64_t seed) : state_(seed) {}

    // A stream of its own for one part of the installation: the same seed and salt give the
    // same stream, and a change in how one part draws its numbers leaves the others alone.
    static Random Stream(std::uint64_t seed, std::uint64_t salt) {
        Random mixer(seed ^ (salt * 0x9E3779B97F4A7C15ull));
        return Random(mixer.Next());
    }

    std::uint64_t Next() {
        std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }

    // 0 .. n-1 (0 when n <= 0). The modulo bias is far below anything the texts could show.
    int Below(int n) {
        return n <= 0 ? 0 : static_cast<int>(Next() % static_cast<std::uint64_t>(n));
    }
    // lo .. hi inclusive.
    int Between(int lo, int hi) { return hi <= lo ? lo : lo + Below(hi - lo + 1); }
    // True in perMille of 1000 draws.
    bool Chance(int perMille) { return Below(1000) < perMille; }

    template <class T, std::size_t N>
    const T& Pick(const T (&items)[N]) {
        return items[static_cast<std::size_t>(Below(static_cast<int>(N)))];
    }

private:
    std::uint64_t state_;
};

}  // namespace quillax::synth
