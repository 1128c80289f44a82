// SPDX-License-Identifier: GPL-3.0-or-later
// The lexical level of catalog files: words, single characters, numbers
// and quoted names, read from text in memory.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "catalog/catalog_format.h"

namespace kestavo {

enum class ReadStatus {
    Ok,
    End,  // the text ended
    Bad,  // a number field held no digits
};

class CatalogTokens {
public:
    explicit CatalogTokens(std::string_view text)
        : p_(text.data()), end_(text.data() + text.size()) {}

    // Skips white space, then takes characters up to the next white space.
    bool ReadWord(std::string_view& word);
    // Skips white space, then takes one character.
    bool ReadChar(char& c);
    // Gives back the character just read by ReadChar.
    void Unread() { --p_; }
    // A word read as an optional sign and decimal digits (to the first other
    // character; 0 when it begins with none), wrapping without a check.
    ReadStatus ReadNumberWord(std::int64_t& value);
    // A 32-bit integer: an optional sign and digits, at most 15 characters,
    // hexadecimal after 0x, octal after a leading 0; clamped to the range.
    ReadStatus ReadInteger(std::int32_t& value);
    // A file size: an optional sign and decimal digits, 64-bit, clamped.
    ReadStatus ReadFileSize(std::int64_t& value);
    // Skips past the next double quote, then reads words up to and including
    // the first one holding a double quote (cut there), joined by blanks.
    ReadStatus ReadQuotedName(std::string& name);

private:
    void SkipSpace() {
        while (p_ < end_ && IsCatalogSpace(*p_)) ++p_;
    }

    const char* p_;
    const char* end_;
};

}  // namespace kestavo
