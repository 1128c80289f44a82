// SPDX-License-Identifier: GPL-3.0-or-later
// Wildcard masks of Find Files: "*" for any run of bytes, "?" for one
// character as the user's locale decodes it (a byte that does not decode
// counts as one).
#pragma once

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

}  // namespace kestavo
