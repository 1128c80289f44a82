// SPDX-License-Identifier: GPL-3.0-or-later
#include "catalog/size_unit.h"

#include <charconv>

namespace kestavo {
namespace {
// The one piece of program-wide state of the model: set by the View
// Options, read whenever a size text is made.
int g_sizeUnit = kUnitByte;
}  // namespace

bool SetSizeUnit(int unit) {
    const bool changed = unit != g_sizeUnit;
    g_sizeUnit = unit;
    return changed;
}

bool SetSizeUnitByName(std::string_view name) {
    if (name == "byte") return SetSizeUnit(kUnitByte);
    if (name == "KB") return SetSizeUnit(kUnitKB);
    if (name == "MB") return SetSizeUnit(kUnitMB);
    return false;
}

int GetSizeUnit() {
    return g_sizeUnit;
}

namespace {

std::string_view FormatSizeInto(std::int64_t value, int unit, char (&buffer)[kSizeTextCapacity]) {
    const std::int64_t divisor = unit == 0 ? 1 : unit;
    std::int64_t number = 0;
    if (value != 0) {
        number = value / divisor;
        if (value % divisor != 0) number += 1;
    }
    char* end = std::to_chars(buffer, buffer + kSizeTextCapacity - 2, number).ptr;
    if (divisor == kUnitKB || divisor == kUnitMB) {
        *end++ = divisor == kUnitKB ? 'K' : 'M';
        *end++ = 'B';
    }
    return std::string_view(buffer, static_cast<std::size_t>(end - buffer));
}

}  // namespace

std::string_view FormatSize(std::int64_t value, char (&buffer)[kSizeTextCapacity]) {
    return FormatSizeInto(value, g_sizeUnit, buffer);
}

std::string FormatSize(std::int64_t value) {
    char buffer[kSizeTextCapacity];
    return std::string(FormatSize(value, buffer));
}

std::string_view FormatSizeIn(std::int64_t value, int unit, char (&buffer)[kSizeTextCapacity]) {
    return FormatSizeInto(value, unit, buffer);
}

std::string FormatSizeIn(std::int64_t value, int unit) {
    char buffer[kSizeTextCapacity];
    return std::string(FormatSizeInto(value, unit, buffer));
}

}  // namespace kestavo
