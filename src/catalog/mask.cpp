// SPDX-License-Identifier: GPL-3.0-or-later
#include "catalog/mask.h"

#include <cstdlib>
#include <cstring>
#include <cwchar>

#include "catalog/name_compare.h"

namespace kestavo {
namespace {

// How many bytes of `name` from `at` make one character as the user's
// locale decodes it; a byte that does not decode is one character.
std::ptrdiff_t CharacterWidth(std::string_view name, std::ptrdiff_t at) {
    if (at < 0 || at >= static_cast<std::ptrdiff_t>(name.size())) return 1;
    if (static_cast<unsigned char>(name[static_cast<std::size_t>(at)]) < 0x80 || MB_CUR_MAX == 1)
        return 1;
    std::mbstate_t state{};
    wchar_t wc = 0;
    const std::size_t used =
        std::mbrtowc(&wc, name.data() + at, name.size() - static_cast<std::size_t>(at), &state);
    if (used == 0 || used == static_cast<std::size_t>(-1) || used == static_cast<std::size_t>(-2))
        return 1;
    return static_cast<std::ptrdiff_t>(used);
}

}  // namespace

bool MatchMask(std::string_view mask, std::string_view name) {
    if (mask == name) return true;
    if (mask.empty()) return true;
    const std::ptrdiff_t lm = static_cast<std::ptrdiff_t>(mask.size());
    const std::ptrdiff_t ln = static_cast<std::ptrdiff_t>(name.size());
    // Past its end a name reads as a NUL byte, which no mask character equals.
    auto at = [&](std::ptrdiff_t k) { return k >= 0 && k < ln ? name[k] : '\0'; };
    std::ptrdiff_t p = 0;
    std::ptrdiff_t i = 0;
    for (;;) {
        if (mask[p] == '*') {
            if (p == lm - 1) return true;
            std::ptrdiff_t n = 0;
            while (p + 1 + n < lm && mask[p + 1 + n] != '*' && mask[p + 1 + n] != '?') ++n;
            const char* run = mask.data() + p + 1;
            std::ptrdiff_t found = -1;
            for (std::ptrdiff_t j = ln - n; j >= i; --j) {
                if (n == 0 || std::memcmp(name.data() + j, run, static_cast<std::size_t>(n)) == 0) {
                    found = j;
                    break;
                }
            }
            if (found < 0) return false;
            i = found + n - 1;
            p = p + n;
        } else {
            // "?" takes one whole character of the name, however many bytes.
            if (mask[p] == '?')
                i += CharacterWidth(name, i) - 1;
            else if (mask[p] != at(i))
                return false;
            if (p == lm - 1 && i == ln - 1) return true;
        }
        ++p;
        ++i;
        if (p == lm && i == ln) return true;
        if (i == ln) return false;
        if (p == lm) return false;
    }
}

std::string_view SuffixOfStarMask(std::string_view mask) {
    if (mask.size() < 2 || mask[0] != '*') return {};
    const std::string_view literal = mask.substr(1);
    return literal.find_first_of("*?") == std::string_view::npos ? literal : std::string_view();
}

bool UpperCasedEndsWith(std::string_view name, std::string_view suffix) {
    if (name.size() < suffix.size()) return false;
    const char* tail = name.data() + (name.size() - suffix.size());
    for (std::size_t i = 0; i < suffix.size(); ++i)
        if (UpperCasedAscii(tail[i]) != suffix[i]) return false;
    return true;
}

NameMaskTest::NameMaskTest(std::string_view mask)
    : mask_(mask), suffix_(SuffixOfStarMask(mask)), every_(mask.empty() || mask == "*") {}

bool NameMaskTest::Matches(std::string_view name) {
    if (every_) return true;
    // "*" and a literal: the rightmost place of the literal must end the
    // name, so the mask asks for the names ending in it.
    if (!suffix_.empty()) return UpperCasedEndsWith(name, suffix_);
    upper_.assign(name);
    UpperCaseInPlace(upper_);
    return MatchMask(mask_, upper_);
}

}  // namespace kestavo
