// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/name_matcher.h"

#include "catalog/name_compare.h"

namespace kestavo {
NameMatcher::NameMatcher(std::vector<std::string_view> names)
    : names_(std::move(names)), taken_(names_.size(), false) {
    if (names_.size() < kIndexFrom) return;
    indexed_ = true;
    for (std::size_t i = 0; i < names_.size(); ++i)
        exact_[names_[i]].positions.push_back(static_cast<std::uint32_t>(i));
}

std::ptrdiff_t NameMatcher::TakeFrom(Queue& queue) {
    while (queue.next < queue.positions.size() && taken_[queue.positions[queue.next]]) ++queue.next;
    if (queue.next == queue.positions.size()) return -1;
    const std::uint32_t position = queue.positions[queue.next++];
    taken_[position] = true;
    return position;
}

bool NameMatcher::HasRepeatedNames() const {
    if (indexed_) return exact_.size() < names_.size();
    for (std::size_t i = 0; i < names_.size(); ++i)
        for (std::size_t j = i + 1; j < names_.size(); ++j)
            if (names_[i] == names_[j]) return true;
    return false;
}

std::ptrdiff_t NameMatcher::TakeExact(std::string_view name) {
    if (indexed_) {
        auto it = exact_.find(name);
        return it == exact_.end() ? -1 : TakeFrom(it->second);
    }
    for (std::size_t i = 0; i < names_.size(); ++i)
        if (!taken_[i] && names_[i] == name)
            return taken_[i] = true, static_cast<std::ptrdiff_t>(i);
    return -1;
}

std::ptrdiff_t NameMatcher::TakeIgnoringCase(std::string_view name) {
    if (!indexed_) {
        for (std::size_t i = 0; i < names_.size(); ++i)
            if (!taken_[i] && SameNameIgnoringCase(names_[i], name))
                return taken_[i] = true, static_cast<std::ptrdiff_t>(i);
        return -1;
    }
    // Most names match exactly; the folded index is made at the first miss.
    if (!foldedBuilt_) {
        foldedBuilt_ = true;
        for (std::size_t i = 0; i < names_.size(); ++i)
            folded_[FoldedNameKey(names_[i])].positions.push_back(static_cast<std::uint32_t>(i));
    }
    auto it = folded_.find(FoldedNameKey(name));
    return it == folded_.end() ? -1 : TakeFrom(it->second);
}

}  // namespace kestavo
