// Wildcard masks of Find Files: "*" for any run of characters, "?" for one.
#pragma once

#include <string_view>

namespace kestavo {

// Whether `name` matches `mask`; both already upper-cased by the caller.
// The literal run after a "*" is matched at its rightmost occurrence, and a
// "*" directly followed by "*" or "?" matches only a name equal to the mask.
bool MatchMask(std::string_view mask, std::string_view name);

}  // namespace kestavo
