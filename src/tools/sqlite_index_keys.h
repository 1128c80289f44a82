// SPDX-License-Identifier: GPL-3.0-or-later
// The keys of the export's two indexes, sorted as SQLite orders them: names
// by their bytes (the BINARY collation), sizes as numbers, and equal keys by
// rowid.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace kestavo {

// A name with eight of its bytes as one number, big-endian, zeros past its
// end: the sort compares these and reads on into the name only where they
// are equal. Made with the first eight.
struct NameKey {
    std::uint64_t word = 0;
    const char* text = nullptr;
    std::uint32_t size = 0;
    std::uint32_t rowid = 0;
};

NameKey MakeNameKey(std::string_view name, std::uint32_t rowid);
void SortNameKeys(std::vector<NameKey>& keys);

struct SizeKey {
    std::int64_t size = 0;
    std::uint32_t rowid = 0;
};

// Keys that arrive in rowid order keep it among equal sizes.
void SortSizeKeys(std::vector<SizeKey>& keys);

}  // namespace kestavo
