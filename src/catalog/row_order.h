// SPDX-License-Identifier: GPL-3.0-or-later
// Orders of result rows that must stay fast for millions of rows.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "catalog/file_data.h"

namespace kestavo {

// Puts `rows` in the initial order of a freshly filled list: by name with
// a-z and A-Z folded, ties by plain byte order, then in their present order.
// Gives exactly what SortInInitialOrderByComparison gives, without its cost
// per comparison on large lists.
void SortInInitialOrder(std::vector<FileData*>& rows);
// The same order by a stable sort that compares whole names; what
// SortInInitialOrder does for short lists, and the measure of its result.
void SortInInitialOrderByComparison(std::vector<FileData*>& rows);

}  // namespace kestavo
