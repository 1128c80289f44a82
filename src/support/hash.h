// A 64-bit hash of a byte string, for grouping millions of keys before
// they are compared: eight bytes per step, each step mixed with the
// finaliser of SplitMix64. Not for anything an adversary may choose.
#pragma once

#include <cstdint>
#include <cstring>
#include <string_view>

namespace kestavo {

// Spreads every bit of `h` over all the bits of the result.
inline std::uint64_t MixBits(std::uint64_t h) {
    h ^= h >> 31;
    h *= 0x7fb5d329728ea185ULL;
    h ^= h >> 27;
    h *= 0x81dadef4bc2dd44dULL;
    h ^= h >> 33;
    return h;
}

// The length is mixed in first, so texts that differ only by trailing
// zero bytes still hash apart.
inline std::uint64_t HashBytes(std::string_view bytes) {
    std::uint64_t h = 0x9E3779B97F4A7C15ULL ^ bytes.size();
    std::size_t i = 0;
    for (; i + 8 <= bytes.size(); i += 8) {
        std::uint64_t word;
        std::memcpy(&word, bytes.data() + i, 8);
        h = MixBits(h ^ word);
    }
    std::uint64_t tail = 0;
    if (i < bytes.size()) std::memcpy(&tail, bytes.data() + i, bytes.size() - i);
    return MixBits(h ^ tail ^ 0xA5A5A5A5A5A5A5A5ULL);
}

}  // namespace kestavo
