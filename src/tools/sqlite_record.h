// SPDX-License-Identifier: GPL-3.0-or-later
// SQLite's record format: a header of serial types, one varint a column,
// then the values, integers big-endian in the fewest bytes that hold them.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace kestavo::sqlite_file {

// The bytes SQLite's varint takes for `value`: 1 to 9.
int VarintLength(std::uint64_t value);
// Writes `value` as a varint at `out`; answers the byte after it.
std::uint8_t* PutVarint(std::uint8_t* out, std::uint64_t value);
// Writes the low `bytes` bytes of `value` big-endian.
std::uint8_t* PutBigEndian(std::uint8_t* out, std::uint64_t value, int bytes);

// One record being put together, a column at a time. The texts are not
// copied: they must live until the record is written.
class Record {
public:
    static constexpr std::size_t kMaxColumns = 8;
    // Integers are written eight bytes at a time: the buffer a record is
    // written into must have this many bytes to spare after it.
    static constexpr std::size_t kSlack = 8;

    void Clear() {
        count_ = 0;
        bodySize_ = 0;
        headerTypes_ = 0;
    }
    void Null() { Add(0, 0, 0, nullptr); }
    void Int(std::int64_t value);
    void Text(std::string_view text) {
        Add(13 + 2 * static_cast<std::uint64_t>(text.size()), text.size(), 0, text.data());
    }
    // The record's size in bytes, header and values.
    std::size_t Size() const { return HeaderSize() + bodySize_; }
    // Writes the record (Size() bytes) at `out`; answers the byte after it.
    std::uint8_t* WriteTo(std::uint8_t* out) const;

private:
    void Add(std::uint64_t serial, std::size_t size, std::int64_t value, const char* text) {
        serials_[count_] = serial;
        sizes_[count_] = static_cast<std::uint32_t>(size);
        values_[count_] = value;
        texts_[count_] = text;
        ++count_;
        headerTypes_ += serial < 0x80 ? 1 : static_cast<std::size_t>(VarintLength(serial));
        bodySize_ += size;
    }
    std::size_t HeaderSize() const {
        // The header's size counts the varint that gives it.
        if (headerTypes_ < 0x7f) return headerTypes_ + 1;
        std::size_t size = headerTypes_ + 1;
        while (static_cast<std::size_t>(VarintLength(size)) + headerTypes_ != size)
            size = headerTypes_ + static_cast<std::size_t>(VarintLength(size));
        return size;
    }

    std::array<std::uint64_t, kMaxColumns> serials_{};
    std::array<std::uint32_t, kMaxColumns> sizes_{};
    std::array<std::int64_t, kMaxColumns> values_{};
    std::array<const char*, kMaxColumns> texts_{};
    std::size_t count_ = 0;
    std::size_t headerTypes_ = 0;  // the bytes of the serial types
    std::size_t bodySize_ = 0;
};

}  // namespace kestavo::sqlite_file
