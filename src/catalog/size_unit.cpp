// SPDX-License-Identifier: GPL-3.0-or-later
#include "catalog/size_unit.h"

#include <algorithm>
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

std::optional<int> SizeUnitNamed(std::string_view name) {
    for (const NamedSizeUnit& named : kSizeUnitNames)
        if (named.name == name) return named.unit;
    return std::nullopt;
}

bool SetSizeUnitByName(std::string_view name) {
    const std::optional<int> unit = SizeUnitNamed(name);
    return unit && SetSizeUnit(*unit);
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
    for (const NamedSizeUnit& named : kSizeUnitNames) {
        if (named.unit == kUnitByte || named.unit != divisor) continue;
        end = std::copy(named.name.begin(), named.name.end(), end);
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
