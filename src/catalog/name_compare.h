// SPDX-License-Identifier: GPL-3.0-or-later
// The three ways names are compared in the catalog model.
#pragma once

#include <string>
#include <string_view>

namespace kestavo {

// One byte: a to z upper-cased, A to Z lower-cased; every other byte as it is.
constexpr char UpperCasedAscii(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}
constexpr char LowerCasedAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// Upper-cases a to z and leaves every other byte as it is (multi-byte
// characters included). Used by the mask match, by the removal of
// same-named entries and containers, and by duplicate keys.
std::string UpperCased(std::string_view name);
void UpperCaseInPlace(std::string& name);
bool EqualUpperCased(std::string_view a, std::string_view b);

// The case-insensitive comparison of the user's locale: characters are
// decoded with the locale in force and compared after towlower; a to z always
// match A to Z; bytes that do not decode compare as bytes with a-z folded.
bool SameNameIgnoringCase(std::string_view a, std::string_view b);
// A key such that two names have equal keys exactly when
// SameNameIgnoringCase holds for them.
std::string FoldedNameKey(std::string_view name);

// Display order of tree children and of list rows: bytes compared with a-z
// and A-Z folded (as strcasecmp in the C locale), ties by plain byte order.
// Negative, zero or positive.
int CompareDisplayOrder(std::string_view a, std::string_view b);
// Bytes compared with a-z and A-Z folded, then lengths: zero exactly when
// EqualUpperCased holds. Display order refines this order.
int CompareFoldedAscii(std::string_view a, std::string_view b);
// Plain unsigned byte order, a prefix first. Negative, zero or positive.
int CompareBytes(std::string_view a, std::string_view b);

}  // namespace kestavo
