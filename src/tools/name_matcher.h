// SPDX-License-Identifier: GPL-3.0-or-later
// Matching the names of a disk folder with the names of its catalog
// container: a name is taken by the first remaining candidate with exactly
// that name, else by the first remaining one equal without regard to case.
// A folder is matched in passes, every exact name before any caseless one,
// so that a name that differs only in case never takes a candidate that
// another name matches exactly.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace kestavo {

class NameMatcher {
public:
    // `names` are the candidates in their order; they must outlive the matcher.
    explicit NameMatcher(std::vector<std::string_view> names);

    // Takes the first remaining candidate with exactly the name `name`, or
    // the first remaining one equal to it without regard to case, and
    // answers its position; -1 when none remains.
    std::ptrdiff_t TakeExact(std::string_view name);
    std::ptrdiff_t TakeIgnoringCase(std::string_view name);
    // Takes the candidate at `position` itself.
    void TakeAt(std::size_t position) { taken_[position] = true; }
    bool Taken(std::size_t position) const { return taken_[position]; }
    // Whether two candidates have exactly the same name.
    bool HasRepeatedNames() const;
    std::size_t Size() const { return names_.size(); }

private:
    static constexpr std::size_t kIndexFrom = 24;
    struct Queue {
        std::vector<std::uint32_t> positions;  // in candidate order
        std::size_t next = 0;                  // first not yet taken
    };
    std::ptrdiff_t TakeFrom(Queue& queue);

    std::vector<std::string_view> names_;
    std::vector<bool> taken_;
    bool indexed_ = false;
    bool foldedBuilt_ = false;
    std::unordered_map<std::string_view, Queue> exact_;
    std::unordered_map<std::string, Queue> folded_;
};

}  // namespace kestavo
