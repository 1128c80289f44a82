// SPDX-License-Identifier: GPL-3.0-or-later
// Names as a terminal may show them.
#pragma once

#include <string>
#include <string_view>

namespace kestavo {

// `text` with every character that the locale (LC_CTYPE) does not count as
// printable written as "?": C0 and C1 controls, DEL, and each byte that does
// not decode (an incomplete sequence at the end is one "?"), as ls shows
// names on a terminal. A name cannot so move the cursor or start an escape
// sequence; files and pipes get the exact bytes instead.
std::string TerminalText(std::string_view text);

}  // namespace kestavo
