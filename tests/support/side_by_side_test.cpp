// SPDX-License-Identifier: GPL-3.0-or-later
// The two-thread helper: both pieces run, each once, on two threads; the
// halves cover the whole exactly once; failures reach the caller.
#include "support/side_by_side.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <utility>
#include <vector>

namespace kestavo {
namespace {

TEST(SideBySideTest, RunsOnePieceHereAndTheOtherOnASecondThread) {
    const std::thread::id here = std::this_thread::get_id();
    std::thread::id otherRanOn, thisRanOn;
    int otherRuns = 0, thisRuns = 0;
    RunSideBySide([&] { otherRanOn = std::this_thread::get_id(), ++otherRuns; },
                  [&] { thisRanOn = std::this_thread::get_id(), ++thisRuns; });
    EXPECT_EQ(otherRuns, 1);
    EXPECT_EQ(thisRuns, 1);
    EXPECT_EQ(thisRanOn, here);
    EXPECT_NE(otherRanOn, here);
}

// The ranges `ForBothHalves` hands out for `count` items.
std::vector<std::pair<std::size_t, std::size_t>> RangesFor(std::size_t count, std::size_t from) {
    std::mutex guard;
    std::vector<std::pair<std::size_t, std::size_t>> ranges;
    std::vector<std::atomic<int>> visits(count);
    ForBothHalves(count, from, [&](std::size_t first, std::size_t last) {
        for (std::size_t i = first; i < last; ++i) ++visits[i];
        std::lock_guard lock(guard);
        ranges.emplace_back(first, last);
    });
    for (std::size_t i = 0; i < count; ++i)
        EXPECT_EQ(visits[i], 1) << "item " << i << " of " << count;
    std::sort(ranges.begin(), ranges.end());
    return ranges;
}

TEST(SideBySideTest, HalvesCoverEveryItemExactlyOnce) {
    using Ranges = std::vector<std::pair<std::size_t, std::size_t>>;
    EXPECT_EQ(RangesFor(0, 0), (Ranges{{0, 0}}));
    EXPECT_EQ(RangesFor(1, 0), (Ranges{{0, 1}}));
    EXPECT_EQ(RangesFor(2, 0), (Ranges{{0, 1}, {1, 2}}));
    EXPECT_EQ(RangesFor(3, 0), (Ranges{{0, 1}, {1, 3}}));
    EXPECT_EQ(RangesFor(100001, 100000), (Ranges{{0, 50000}, {50000, 100001}}));
    // Below the threshold the whole goes in one call, on this thread.
    EXPECT_EQ(RangesFor(99999, 100000), (Ranges{{0, 99999}}));
}

TEST(SideBySideTest, AFailureOnTheSecondThreadReachesTheCallerAfterBothFinish) {
    std::atomic<bool> thisFinished{false};
    EXPECT_THROW(RunSideBySide([] { throw std::runtime_error("other"); },
                               [&] {
                                   std::this_thread::sleep_for(std::chrono::milliseconds(20));
                                   thisFinished = true;
                               }),
                 std::runtime_error);
    EXPECT_TRUE(thisFinished);
}

TEST(SideBySideTest, AFailureHereWaitsForTheSecondThreadAndWinsOverItsFailure) {
    std::atomic<bool> otherFinished{false};
    try {
        RunSideBySide(
            [&] {
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
                otherFinished = true;
                throw std::logic_error("other");
            },
            [] { throw std::runtime_error("here"); });
        ADD_FAILURE() << "nothing thrown";
    } catch (const std::runtime_error& failure) {
        EXPECT_STREQ(failure.what(), "here");
    }
    EXPECT_TRUE(otherFinished);
}

}  // namespace
}  // namespace kestavo
