// SPDX-License-Identifier: GPL-3.0-or-later
#include "catalog/name_compare.h"

#include <cstring>
#include <cwchar>
#include <cwctype>

namespace kestavo {
namespace {

unsigned char LowerAscii(unsigned char c) {
    return static_cast<unsigned char>(LowerCasedAscii(static_cast<char>(c)));
}

bool IsAscii(std::string_view s) {
    for (unsigned char c : s)
        if (c >= 0x80) return false;
    return true;
}

// Appends the folded form of one name: every character that decodes in the
// locale as 0xFF + its lower-case code point (4 bytes); every byte that does
// not decode as 0xFE + the byte with A-Z folded.
void AppendFolded(std::string_view name, std::string& out) {
    std::mbstate_t state{};
    std::size_t i = 0;
    while (i < name.size()) {
        const unsigned char byte = static_cast<unsigned char>(name[i]);
        if (byte < 0x80) {
            out.push_back(static_cast<char>(0xFF));
            const std::uint32_t code = LowerAscii(byte);
            out.append(reinterpret_cast<const char*>(&code), sizeof code);
            ++i;
            continue;
        }
        wchar_t wc = 0;
        const std::size_t used = std::mbrtowc(&wc, name.data() + i, name.size() - i, &state);
        if (used == static_cast<std::size_t>(-1) || used == static_cast<std::size_t>(-2) ||
            used == 0) {
            state = std::mbstate_t{};
            out.push_back(static_cast<char>(0xFE));
            out.push_back(static_cast<char>(byte));
            ++i;
            continue;
        }
        out.push_back(static_cast<char>(0xFF));
        const std::uint32_t code =
            static_cast<std::uint32_t>(std::towlower(static_cast<wint_t>(wc)));
        out.append(reinterpret_cast<const char*>(&code), sizeof code);
        i += used;
    }
}

}  // namespace

std::string UpperCased(std::string_view name) {
    std::string copy(name);
    UpperCaseInPlace(copy);
    return copy;
}

void UpperCaseInPlace(std::string& name) {
    for (char& c : name) c = UpperCasedAscii(c);
}

bool EqualUpperCased(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (UpperCasedAscii(a[i]) != UpperCasedAscii(b[i])) return false;
    return true;
}

std::string FoldedNameKey(std::string_view name) {
    std::string key;
    key.reserve(name.size() * 5);
    AppendFolded(name, key);
    return key;
}

bool SameNameIgnoringCase(std::string_view a, std::string_view b) {
    if (IsAscii(a) && IsAscii(b)) {
        if (a.size() != b.size()) return false;
        for (std::size_t i = 0; i < a.size(); ++i)
            if (LowerAscii(static_cast<unsigned char>(a[i])) !=
                LowerAscii(static_cast<unsigned char>(b[i])))
                return false;
        return true;
    }
    return FoldedNameKey(a) == FoldedNameKey(b);
}

int CompareBytes(std::string_view a, std::string_view b) {
    const std::size_t n = a.size() < b.size() ? a.size() : b.size();
    const int c = n ? std::memcmp(a.data(), b.data(), n) : 0;
    if (c != 0) return c;
    return a.size() < b.size() ? -1 : (a.size() > b.size() ? 1 : 0);
}

int CompareFoldedAscii(std::string_view a, std::string_view b) {
    const std::size_t n = a.size() < b.size() ? a.size() : b.size();
    for (std::size_t i = 0; i < n; ++i) {
        const int ca = LowerAscii(static_cast<unsigned char>(a[i]));
        const int cb = LowerAscii(static_cast<unsigned char>(b[i]));
        if (ca != cb) return ca - cb;
    }
    if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
    return 0;
}

int CompareDisplayOrder(std::string_view a, std::string_view b) {
    const int folded = CompareFoldedAscii(a, b);
    return folded != 0 ? folded : CompareBytes(a, b);
}

}  // namespace kestavo
