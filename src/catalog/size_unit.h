// SPDX-License-Identifier: GPL-3.0-or-later
// The program-wide size unit: the divisor of every size text.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kestavo {

inline constexpr int kUnitByte = 1;
inline constexpr int kUnitKB = 1024;
inline constexpr int kUnitMB = 1048576;

// The units by name, as the View Options offer them and --unit takes them;
// the names of KB and MB also follow the numbers of their size texts.
struct NamedSizeUnit {
    std::string_view name;
    int unit;
};
inline constexpr std::array<NamedSizeUnit, 3> kSizeUnitNames{
    {{"byte", kUnitByte}, {"KB", kUnitKB}, {"MB", kUnitMB}}};
// The unit of a name of kSizeUnitNames (exactly, letter case included).
std::optional<int> SizeUnitNamed(std::string_view name);

// Stores `unit` and answers whether it differs from the previous value.
bool SetSizeUnit(int unit);
// A name of kSizeUnitNames sets its unit and answers SetSizeUnit's result;
// any other text changes nothing and answers false.
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
