// SPDX-License-Identifier: GPL-3.0-or-later
// Names and paths are UTF-8 byte strings in the core; the windows show
// them as QStrings.
#pragma once

#include <QString>
#include <string_view>

namespace kestavo::ui {

inline QString FromUtf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace kestavo::ui
