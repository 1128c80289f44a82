// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/sqlite_record.h"

#include <bit>
#include <cstring>

namespace kestavo::sqlite_file {

int VarintLength(std::uint64_t value) {
    if (value >> 56) return 9;
    int length = 1;
    while (value >>= 7) ++length;
    return length;
}

std::uint8_t* PutVarint(std::uint8_t* out, std::uint64_t value) {
    if (value < 0x80) {
        *out = static_cast<std::uint8_t>(value);
        return out + 1;
    }
    if (value >> 56) {
        // Nine bytes: eight of seven bits, then a whole last byte.
        out[8] = static_cast<std::uint8_t>(value);
        value >>= 8;
        for (int i = 7; i >= 0; --i) {
            out[i] = static_cast<std::uint8_t>((value & 0x7f) | 0x80);
            value >>= 7;
        }
        return out + 9;
    }
    const int length = VarintLength(value);
    for (int i = length - 1; i >= 0; --i) {
        out[i] = static_cast<std::uint8_t>((value & 0x7f) | (i == length - 1 ? 0 : 0x80));
        value >>= 7;
    }
    return out + length;
}

std::uint8_t* PutBigEndian(std::uint8_t* out, std::uint64_t value, int bytes) {
    for (int i = bytes - 1; i >= 0; --i) {
        out[i] = static_cast<std::uint8_t>(value);
        value >>= 8;
    }
    return out + bytes;
}

namespace {

// The serial type of an integer that needs `bits` bits besides its sign:
// 1, 2, 3, 4, 6 or 8 bytes.
constexpr std::array<std::uint8_t, 65> kSerialOfBits = [] {
    std::array<std::uint8_t, 65> serials{};
    for (int bits = 0; bits <= 64; ++bits)
        serials[static_cast<std::size_t>(bits)] = bits < 8    ? 1
                                                  : bits < 16 ? 2
                                                  : bits < 24 ? 3
                                                  : bits < 32 ? 4
                                                  : bits < 48 ? 5
                                                              : 6;
    return serials;
}();
constexpr std::array<std::uint8_t, 7> kBytesOfSerial = {0, 1, 2, 3, 4, 6, 8};

}  // namespace

void Record::Int(std::int64_t value) {
    // As SQLite stores them: 0 and 1 in the serial type alone, others in
    // the fewest bytes that hold them.
    if (value == 0 || value == 1) {
        Add(8 + static_cast<std::uint64_t>(value), 0, value, nullptr);
        return;
    }
    const std::uint64_t magnitude =
        value < 0 ? ~static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
    const int bits = std::bit_width(magnitude);
    const std::uint8_t serial = kSerialOfBits[static_cast<std::size_t>(bits)];
    Add(serial, kBytesOfSerial[serial], value, nullptr);
}

std::uint8_t* Record::WriteTo(std::uint8_t* out) const {
    out = PutVarint(out, HeaderSize());
    for (std::size_t i = 0; i < count_; ++i) {
        if (serials_[i] < 0x80)
            *out++ = static_cast<std::uint8_t>(serials_[i]);
        else
            out = PutVarint(out, serials_[i]);
    }
    for (std::size_t i = 0; i < count_; ++i) {
        const std::size_t size = sizes_[i];
        if (size == 0) continue;
        if (texts_[i]) {
            std::memcpy(out, texts_[i], size);
        } else {
            // All eight bytes, the value's own first: the rest is written
            // over by what follows, or lies in the slack.
            const std::uint64_t shifted = static_cast<std::uint64_t>(values_[i]) << (64 - 8 * size);
            PutBigEndian(out, shifted, 8);
        }
        out += size;
    }
    return out;
}

}  // namespace kestavo::sqlite_file
