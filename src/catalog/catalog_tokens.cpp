// SPDX-License-Identifier: GPL-3.0-or-later
#include "catalog/catalog_tokens.h"

#include <cstring>
#include <limits>

namespace kestavo {
namespace {

int DigitValue(char c, int base) {
    int v = -1;
    if (c >= '0' && c <= '9')
        v = c - '0';
    else if (c >= 'a' && c <= 'f')
        v = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F')
        v = c - 'A' + 10;
    return v >= 0 && v < base ? v : -1;
}

}  // namespace

bool CatalogTokens::ReadWord(std::string_view& word) {
    return ReadWordOf(word, /*inName=*/false);
}

bool CatalogTokens::ReadWordOf(std::string_view& word, bool inName) {
    if (inName)
        SkipSpace();
    else
        SkipToToken();
    if (!More()) return false;
    const char* start = p_;
    while (More() && !IsCatalogSpace(*p_) && (inName || *p_ != '\0')) ++p_;
    word = std::string_view(start, static_cast<std::size_t>(p_ - start));
    if (!inName && More() && *p_ == '\0') Stop();
    return true;
}

bool CatalogTokens::ReadChar(char& c) {
    SkipToToken();
    if (!More()) return false;
    c = *p_++;
    return true;
}

ReadStatus CatalogTokens::ReadNumberWord(std::int64_t& value) {
    std::string_view word;
    if (!ReadWord(word)) return ReadStatus::End;
    std::size_t i = 0;
    bool negative = false;
    if (i < word.size() && (word[i] == '+' || word[i] == '-')) negative = word[i++] == '-';
    std::uint64_t magnitude = 0;
    for (; i < word.size() && word[i] >= '0' && word[i] <= '9'; ++i)
        magnitude = magnitude * 10 + static_cast<std::uint64_t>(word[i] - '0');
    if (negative) magnitude = 0 - magnitude;
    value = static_cast<std::int64_t>(magnitude);
    return ReadStatus::Ok;
}

ReadStatus CatalogTokens::ReadInteger(std::int32_t& value) {
    SkipToToken();
    if (!More()) return ReadStatus::End;
    constexpr std::ptrdiff_t kMaxCharacters = 15;
    while (end_ - p_ < kMaxCharacters && Has(end_)) {
    }
    const char* limit = end_ - p_ > kMaxCharacters ? p_ + kMaxCharacters : end_;
    const char* p = p_;
    bool negative = false;
    if (p < limit && (*p == '+' || *p == '-')) negative = *p++ == '-';
    int base = 10;
    if (p < limit && *p == '0') {
        if (p + 2 < limit && (p[1] == 'x' || p[1] == 'X') && DigitValue(p[2], 16) >= 0) {
            base = 16;
            p += 2;
        } else {
            base = 8;
        }
    }
    std::uint64_t magnitude = 0;
    int digits = 0;
    for (; p < limit; ++p) {
        const int d = DigitValue(*p, base);
        if (d < 0) break;
        magnitude = magnitude * static_cast<unsigned>(base) + static_cast<unsigned>(d);
        ++digits;
    }
    if (digits == 0) return ReadStatus::Bad;
    p_ = p;
    constexpr std::uint64_t kMax = std::numeric_limits<std::int32_t>::max();
    if (negative)
        value = magnitude > kMax + 1
                    ? std::numeric_limits<std::int32_t>::min()
                    : static_cast<std::int32_t>(0 - static_cast<std::int64_t>(magnitude));
    else
        value = magnitude > kMax ? std::numeric_limits<std::int32_t>::max()
                                 : static_cast<std::int32_t>(magnitude);
    return ReadStatus::Ok;
}

ReadStatus CatalogTokens::ReadFileSize(std::int64_t& value) {
    SkipToToken();
    if (!More()) return ReadStatus::End;
    const char* p = p_;
    bool negative = false;
    if (Has(p) && (*p == '+' || *p == '-')) negative = *p++ == '-';
    constexpr std::uint64_t kMax = std::numeric_limits<std::int64_t>::max();
    std::uint64_t magnitude = 0;
    bool overflow = false;
    int digits = 0;
    for (; Has(p) && *p >= '0' && *p <= '9'; ++p, ++digits) {
        const auto d = static_cast<std::uint64_t>(*p - '0');
        if (magnitude > (kMax + 1 - d) / 10)
            overflow = true;
        else
            magnitude = magnitude * 10 + d;
    }
    if (digits == 0) return ReadStatus::Bad;
    p_ = p;
    if (negative)
        value = overflow || magnitude > kMax ? std::numeric_limits<std::int64_t>::min()
                                             : -static_cast<std::int64_t>(magnitude);
    else
        value = overflow || magnitude > kMax ? std::numeric_limits<std::int64_t>::max()
                                             : static_cast<std::int64_t>(magnitude);
    return ReadStatus::Ok;
}

ReadStatus CatalogTokens::ReadQuotedName(std::string& name) {
    name.clear();
    // The characters before the opening quote are skipped; a NUL among them
    // ends the text.
    for (;;) {
        if (!More()) return ReadStatus::End;
        const auto left = static_cast<std::size_t>(end_ - p_);
        const char* quote = static_cast<const char*>(std::memchr(p_, kQuote, left));
        const std::size_t before = quote ? static_cast<std::size_t>(quote - p_) : left;
        if (const void* nul = std::memchr(p_, '\0', before)) {
            p_ = static_cast<const char*>(nul);
            Stop();
            return ReadStatus::End;
        }
        p_ += before;
        if (quote) break;
    }
    ++p_;
    for (bool first = true;; first = false) {
        std::string_view word;
        if (!ReadWordOf(word, /*inName=*/true)) return ReadStatus::End;
        const std::size_t cut = word.find(kQuote);
        if (!first) name += ' ';
        name.append(word.substr(0, cut));
        if (cut != std::string_view::npos) return ReadStatus::Ok;
    }
}

}  // namespace kestavo
