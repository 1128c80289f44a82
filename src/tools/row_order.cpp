#include "tools/row_order.h"

#include <algorithm>

#include "catalog/list_rows.h"
#include "catalog/name_compare.h"
#include "catalog/size_unit.h"

namespace kestavo {
namespace {

// The first eight bytes of a name with A-Z folded, most significant first
// and padded with zeros. Names hold no NUL byte, so the padding orders a
// shorter name first just as the full comparison does.
std::uint64_t FoldedPrefix(std::string_view name) {
    std::uint64_t key = 0;
    for (std::size_t i = 0; i < 8; ++i) {
        unsigned char c = i < name.size() ? static_cast<unsigned char>(name[i]) : 0;
        if (c >= 'A' && c <= 'Z') c = static_cast<unsigned char>(c - 'A' + 'a');
        key = (key << 8) | c;
    }
    return key;
}

struct SortKey {
    std::uint64_t prefix;
    std::uint32_t index;
};

}  // namespace

void SortInInitialOrder(std::vector<FileData*>& rows) {
    if (rows.size() < 2) return;
    if (rows.size() < 64 || rows.size() > UINT32_MAX) {
        SortRowsInInitialOrder(rows);
        return;
    }
    std::vector<SortKey> keys(rows.size());
    for (std::size_t i = 0; i < rows.size(); ++i)
        keys[i] = SortKey{FoldedPrefix(rows[i]->Name()), static_cast<std::uint32_t>(i)};
    std::sort(keys.begin(), keys.end(), [&rows](const SortKey& a, const SortKey& b) {
        if (a.prefix != b.prefix) return a.prefix < b.prefix;
        const int order = CompareDisplayOrder(rows[a.index]->Name(), rows[b.index]->Name());
        if (order != 0) return order < 0;
        return a.index < b.index;
    });
    std::vector<FileData*> sorted(rows.size());
    for (std::size_t i = 0; i < keys.size(); ++i) sorted[i] = rows[keys[i].index];
    rows.swap(sorted);
}

std::string FormatSizeIn(std::int64_t value, int unit) {
    const std::int64_t divisor = unit == 0 ? 1 : unit;
    std::int64_t number = 0;
    if (value != 0) {
        number = value / divisor;
        if (value % divisor != 0) number += 1;
    }
    std::string text = std::to_string(number);
    if (divisor == kUnitKB) text += "KB";
    else if (divisor == kUnitMB) text += "MB";
    return text;
}

}  // namespace kestavo
