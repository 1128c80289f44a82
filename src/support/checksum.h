// SPDX-License-Identifier: GPL-3.0-or-later
// A 64-bit checksum of bytes kept in files, to tell bytes changed since
// they were written (a damaged or truncated file) from those written. Four
// lanes of multiply, rotate and xor over 8-byte words run side by side at
// several bytes a cycle; each step is one-to-one in its word, so a changed
// word always changes the sum. Not a defence against anyone choosing the
// bytes; stable across builds, unlike the standard library's hash.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>

namespace kestavo {

class Checksum {
public:
    void Add(const void* data, std::size_t size) {
        if (size == 0) return;
        const auto* bytes = static_cast<const unsigned char*>(data);
        total_ += size;
        if (pending_ > 0) {
            const std::size_t take = size < kBlock - pending_ ? size : kBlock - pending_;
            std::memcpy(block_ + pending_, bytes, take);
            pending_ += take;
            bytes += take;
            size -= take;
            if (pending_ < kBlock) return;
            Mix(block_);
            pending_ = 0;
        }
        for (; size >= kBlock; bytes += kBlock, size -= kBlock) Mix(bytes);
        std::memcpy(block_, bytes, size);
        pending_ = size;
    }
    void Add(std::span<const std::byte> bytes) { Add(bytes.data(), bytes.size()); }

    std::uint64_t Finish() const {
        std::uint64_t lanes[4] = {lanes_[0], lanes_[1], lanes_[2], lanes_[3]};
        unsigned char tail[kBlock] = {};
        std::memcpy(tail, block_, pending_);
        for (int lane = 0; lane < 4; ++lane) lanes[lane] = Step(lanes[lane], Word(tail + 8 * lane));
        std::uint64_t sum = total_ * kPrime;
        for (std::uint64_t lane : lanes) sum = Step(sum, lane);
        sum ^= sum >> 29;
        return sum * kPrime;
    }

    static std::uint64_t Of(const void* data, std::size_t size) {
        Checksum sum;
        sum.Add(data, size);
        return sum.Finish();
    }

private:
    static constexpr std::size_t kBlock = 32;
    static constexpr std::uint64_t kPrime = 0x9E3779B97F4A7C15ull;

    static std::uint64_t Word(const unsigned char* at) {
        std::uint64_t word = 0;
        std::memcpy(&word, at, sizeof word);
        return word;
    }
    static std::uint64_t Step(std::uint64_t lane, std::uint64_t word) {
        const std::uint64_t mixed = (lane ^ word) * kPrime;
        return (mixed << 31) | (mixed >> 33);
    }
    void Mix(const unsigned char* block) {
        for (int lane = 0; lane < 4; ++lane)
            lanes_[lane] = Step(lanes_[lane], Word(block + 8 * lane));
    }

    std::uint64_t lanes_[4] = {0x243F6A8885A308D3ull, 0x13198A2E03707344ull, 0xA4093822299F31D0ull,
                               0x082EFA98EC4E6C89ull};
    unsigned char block_[kBlock] = {};
    std::size_t pending_ = 0;
    std::uint64_t total_ = 0;
};

}  // namespace kestavo
