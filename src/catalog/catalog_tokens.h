// SPDX-License-Identifier: GPL-3.0-or-later
// The lexical level of catalog files: words, single characters, numbers
// and quoted names, read from text in memory, which may be read in pieces
// as the tokens get to it.
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

// Where more text comes from when a catalog is read in pieces.
class TextFeed {
public:
    virtual ~TextFeed() = default;
    // Makes more text readable right after `end`, leaving the text before it
    // where it is, and moves `end` past it; false when there is no more.
    virtual bool Extend(const char*& end) = 0;
    // The whole text from `begin`, the start of the first text, to the end.
    virtual std::string_view Whole(const char* begin) = 0;
};

// A NUL byte cannot continue a record: met outside a quoted name it ends the
// text there, and the tokens say so (Stopped). Inside a name it is kept.
class CatalogTokens {
public:
    explicit CatalogTokens(std::string_view text, TextFeed* feed = nullptr)
        : p_(text.data()), end_(text.data() + text.size()), feed_(feed) {}

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
    // Whether a NUL outside a quoted name ended the text.
    bool Stopped() const { return stopped_; }

private:
    // Whether the text goes on at `p` (at most end_), reading more when the
    // feed has it.
    bool Has(const char* p) {
        return p < end_ || (!stopped_ && feed_ && feed_->Extend(end_) && p < end_);
    }
    bool More() { return Has(p_); }
    void Stop() {
        end_ = p_;
        stopped_ = true;
    }
    void SkipSpace() {
        while (More() && IsCatalogSpace(*p_)) ++p_;
    }
    // Skips white space before a token outside a name.
    void SkipToToken() {
        SkipSpace();
        if (More() && *p_ == '\0') Stop();
    }
    bool ReadWordOf(std::string_view& word, bool inName);

    const char* p_;
    const char* end_;
    TextFeed* feed_;
    bool stopped_ = false;
};

}  // namespace kestavo
