// SPDX-License-Identifier: GPL-3.0-or-later
// The program-wide size unit: the divisor of every size text.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kestavo {

inline constexpr int kUnitByte = 1;
inline constexpr int kUnitKB = 1024;
inline constexpr int kUnitMB = 1048576;

// Stores `unit` and answers whether it differs from the previous value.
bool SetSizeUnit(int unit);
// "byte", "KB" or "MB" (exactly) set the unit and answer SetSizeUnit's
// result; any other text changes nothing and answers false.
bool SetSizeUnitByName(std::string_view name);
int GetSizeUnit();

// A byte count as text in the current unit: rounded up to whole units,
// followed directly by "KB" or "MB" (0 stays 0).
std::string FormatSize(std::int64_t value);
// The same text written into `buffer`, without allocating.
inline constexpr std::size_t kSizeTextCapacity = 24;
std::string_view FormatSize(std::int64_t value, char (&buffer)[kSizeTextCapacity]);
// The size text of `value` in `unit` (1, 1024 or 1048576), whatever the
// current unit is.
std::string FormatSizeIn(std::int64_t value, int unit);
// The same written into `buffer`: for worker threads, which are given the
// unit rather than reading the current one.
std::string_view FormatSizeIn(std::int64_t value, int unit, char (&buffer)[kSizeTextCapacity]);

}  // namespace kestavo
