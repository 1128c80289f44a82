// SPDX-License-Identifier: GPL-3.0-or-later
// Wildcard masks of Find Files: "*" for any run of bytes, "?" for one
// character as the user's locale decodes it (a byte that does not decode
// counts as one).
#pragma once

#include <string>
#include <string_view>

namespace kestavo {

// Whether `name` matches `mask`; both already upper-cased by the caller.
// The literal run after a "*" is matched at its rightmost occurrence, and a
// "*" directly followed by "*" or "?" matches only a name equal to the mask.
bool MatchMask(std::string_view mask, std::string_view name);

// For a mask made of "*" and a literal without wildcards ("*.JPG"), the
// literal: such a mask matches exactly the upper-cased names ending in it.
// Empty for every other mask.
std::string_view SuffixOfStarMask(std::string_view mask);
// Whether `name`, upper-cased, ends with `suffix`.
bool UpperCasedEndsWith(std::string_view name, std::string_view suffix);

// The test Find Files makes of each name against one upper-cased mask: the
// name upper-cased, then matched; a mask of "*" and a literal only compares
// the name's ending. "*" and the empty mask match every name.
class NameMaskTest {
public:
    explicit NameMaskTest(std::string_view mask);
    bool MatchesEveryName() const { return every_; }
    bool Matches(std::string_view name);

private:
    std::string_view mask_;
    std::string_view suffix_;
    bool every_ = false;
    std::string upper_;  // the name being matched, upper-cased
};

}  // namespace kestavo
