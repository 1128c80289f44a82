// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/terminal_text.h"

#include <cwchar>
#include <cwctype>

namespace kestavo {
namespace {

bool IsPrintableAscii(unsigned char byte) {
    return byte >= 0x20 && byte < 0x7f;
}

}  // namespace

std::string TerminalText(std::string_view text) {
    std::string shown;
    shown.reserve(text.size());
    std::mbstate_t state{};
    std::size_t at = 0;
    while (at < text.size()) {
        const unsigned char byte = static_cast<unsigned char>(text[at]);
        if (IsPrintableAscii(byte)) {
            shown.push_back(static_cast<char>(byte));
            ++at;
            continue;
        }
        wchar_t character = 0;
        const std::size_t length =
            std::mbrtowc(&character, text.data() + at, text.size() - at, &state);
        if (length == static_cast<std::size_t>(-1)) {
            // A byte that does not decode: one "?", then decoding starts afresh.
            state = std::mbstate_t{};
            shown.push_back('?');
            ++at;
        } else if (length == static_cast<std::size_t>(-2)) {
            // The text ends inside a character.
            shown.push_back('?');
            break;
        } else {
            const std::size_t used = length == 0 ? 1 : length;
            if (length != 0 && std::iswprint(static_cast<std::wint_t>(character)))
                shown.append(text.substr(at, used));
            else
                shown.push_back('?');
            at += used;
        }
    }
    return shown;
}

}  // namespace kestavo
