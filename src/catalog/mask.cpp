#include "catalog/mask.h"

#include <cstring>

namespace kestavo {

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
            if (mask[p] != '?' && mask[p] != at(i)) return false;
            if (p == lm - 1 && i == ln - 1) return true;
        }
        ++p;
        ++i;
        if (p == lm && i == ln) return true;
        if (i == ln) return false;
        if (p == lm) return false;
    }
}

}  // namespace kestavo
