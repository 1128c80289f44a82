// SPDX-License-Identifier: GPL-3.0-or-later
// The low-level kernels against the plain way of doing the same work, at the
// scale of the 5-million-entry benchmark directory (Google Benchmark).
#include <benchmark/benchmark.h>
#include <sys/mman.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "support/byte_buckets.h"
#include "support/hash.h"
#include "support/large_buffer.h"
#include "support/prefault.h"
#include "support/side_by_side.h"
#include "support/text_arena.h"

namespace {

constexpr std::size_t kEntries = 5'000'000;

struct Hashed {
    std::uint64_t hash;
    std::uint32_t index;
};

bool HashedLess(const Hashed& a, const Hashed& b) {
    return a.hash != b.hash ? a.hash < b.hash : a.index < b.index;
}

const std::vector<Hashed>& RandomHashes() {
    static const std::vector<Hashed> hashes = [] {
        std::mt19937_64 random(1);
        std::vector<Hashed> made(kEntries);
        for (std::size_t i = 0; i < made.size(); ++i)
            made[i] = Hashed{random(), static_cast<std::uint32_t>(i)};
        return made;
    }();
    return hashes;
}

// Keys as the duplicate search makes them: name, size and date.
const std::vector<std::string>& DuplicateKeys() {
    static const std::vector<std::string> keys = [] {
        std::vector<std::string> made;
        made.reserve(1'000'000);
        for (std::size_t i = 0; i < 1'000'000; ++i)
            made.push_back("IMG_" + std::to_string(i % 9973) + ".JPG~" +
                           std::to_string(i * 37 % 500000) + "~" + std::to_string(1600000000 + i));
        return made;
    }();
    return keys;
}

// Names of entries: 5 to 30 bytes.
const std::vector<std::string>& EntryNames() {
    static const std::vector<std::string> names = [] {
        std::vector<std::string> made;
        made.reserve(kEntries);
        for (std::size_t i = 0; i < kEntries; ++i)
            made.push_back("file_" + std::to_string(i) + std::string(i % 20, 'x') + ".txt");
        return made;
    }();
    return names;
}

void SortBucketsThenEach(std::span<Hashed> hashed) {
    const kestavo::ByteBucketStarts start = kestavo::SortIntoByteBuckets(
        hashed, [](const Hashed& h) { return static_cast<unsigned>(h.hash >> 56); });
    for (unsigned b = 0; b < 256; ++b)
        std::sort(hashed.begin() + static_cast<std::ptrdiff_t>(start[b]),
                  hashed.begin() + static_cast<std::ptrdiff_t>(start[b + 1]), HashedLess);
}

void BM_SortHashes_StdSort(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        std::vector<Hashed> hashed = RandomHashes();
        state.ResumeTiming();
        std::sort(hashed.begin(), hashed.end(), HashedLess);
        benchmark::DoNotOptimize(hashed.data());
    }
}
BENCHMARK(BM_SortHashes_StdSort)->Unit(benchmark::kMillisecond);

void BM_SortHashes_ByteBuckets(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        std::vector<Hashed> hashed = RandomHashes();
        state.ResumeTiming();
        SortBucketsThenEach(hashed);
        benchmark::DoNotOptimize(hashed.data());
    }
}
BENCHMARK(BM_SortHashes_ByteBuckets)->Unit(benchmark::kMillisecond);

void BM_HashKeys_StdHash(benchmark::State& state) {
    const auto& keys = DuplicateKeys();
    for (auto _ : state) {
        std::uint64_t sum = 0;
        for (const std::string& key : keys) sum += kestavo::HashBytes(key);
        benchmark::DoNotOptimize(sum);
    }
}
BENCHMARK(BM_HashKeys_StdHash)->Unit(benchmark::kMillisecond);

// The word-by-word mix the duplicate search used before it took the
// standard hash: eight bytes a step, each mixed with SplitMix64's finaliser.
std::uint64_t MixBits(std::uint64_t h) {
    h = (h ^ (h >> 31)) * 0x7fb5d329728ea185ULL;
    h = (h ^ (h >> 27)) * 0x81dadef4bc2dd44dULL;
    return h ^ (h >> 33);
}

std::uint64_t WordMixHash(std::string_view bytes) {
    std::uint64_t h = 0x9E3779B97F4A7C15ULL ^ bytes.size();
    std::size_t i = 0;
    for (; i + 8 <= bytes.size(); i += 8) {
        std::uint64_t word;
        std::memcpy(&word, bytes.data() + i, 8);
        h = MixBits(h ^ word);
    }
    std::uint64_t tail = 0;
    if (i < bytes.size()) std::memcpy(&tail, bytes.data() + i, bytes.size() - i);
    return MixBits(h ^ tail ^ 0xA5A5A5A5A5A5A5A5ULL);
}

void BM_HashKeys_WordMix(benchmark::State& state) {
    const auto& keys = DuplicateKeys();
    for (auto _ : state) {
        std::uint64_t sum = 0;
        for (const std::string& key : keys) sum += WordMixHash(key);
        benchmark::DoNotOptimize(sum);
    }
}
BENCHMARK(BM_HashKeys_WordMix)->Unit(benchmark::kMillisecond);

void BM_HashKeys_HashBytesTwoHalves(benchmark::State& state) {
    const auto& keys = DuplicateKeys();
    std::vector<std::uint64_t> hashes(keys.size());
    for (auto _ : state) {
        kestavo::ForBothHalves(keys.size(), 0, [&](std::size_t from, std::size_t to) {
            for (std::size_t i = from; i < to; ++i) hashes[i] = kestavo::HashBytes(keys[i]);
        });
        benchmark::DoNotOptimize(hashes.data());
    }
}
BENCHMARK(BM_HashKeys_HashBytesTwoHalves)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_StoreNames_Strings(benchmark::State& state) {
    const auto& names = EntryNames();
    for (auto _ : state) {
        std::vector<std::string> stored;
        stored.reserve(names.size());
        for (const std::string& name : names) stored.emplace_back(name.data(), name.size());
        benchmark::DoNotOptimize(stored.data());
    }
}
BENCHMARK(BM_StoreNames_Strings)->Unit(benchmark::kMillisecond);

void BM_StoreNames_TextArena(benchmark::State& state) {
    const auto& names = EntryNames();
    for (auto _ : state) {
        kestavo::TextArena arena;
        std::vector<kestavo::TextRef> refs;
        refs.reserve(names.size());
        for (const std::string& name : names) refs.push_back(arena.Add(name));
        benchmark::DoNotOptimize(refs.data());
        state.counters["bytes"] = static_cast<double>(arena.BytesReserved());
    }
}
BENCHMARK(BM_StoreNames_TextArena)->Unit(benchmark::kMillisecond);

// A fresh 256 MiB block written once, as the entry store and the arena fill theirs.
constexpr std::size_t kBlock = std::size_t{256} << 20;

void FillFreshBlock(benchmark::State& state, bool prefault) {
    for (auto _ : state) {
        void* block =
            ::mmap(nullptr, kBlock, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (prefault) kestavo::PrefaultPages(block, kBlock);
        std::memset(block, 1, kBlock);
        benchmark::DoNotOptimize(block);
        ::munmap(block, kBlock);
    }
}
void BM_FillBlock_PageByPage(benchmark::State& state) {
    FillFreshBlock(state, false);
}
void BM_FillBlock_Prefaulted(benchmark::State& state) {
    FillFreshBlock(state, true);
}
BENCHMARK(BM_FillBlock_PageByPage)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FillBlock_Prefaulted)->Unit(benchmark::kMillisecond);

// The keys of 5 M rows made and sorted in a scratch array, as the row sort does.
template <class Scratch>
void FillAndSort(Scratch& scratch, std::span<Hashed> items) {
    const auto& hashes = RandomHashes();
    std::copy(hashes.begin(), hashes.end(), items.begin());
    SortBucketsThenEach(items);
    benchmark::DoNotOptimize(scratch);
}

void BM_ScratchSort_Vector(benchmark::State& state) {
    for (auto _ : state) {
        std::vector<Hashed> scratch(kEntries);
        FillAndSort(scratch, scratch);
    }
}
BENCHMARK(BM_ScratchSort_Vector)->Unit(benchmark::kMillisecond);

void BM_ScratchSort_LargeBuffer(benchmark::State& state) {
    for (auto _ : state) {
        kestavo::LargeBuffer<Hashed> scratch(kEntries);
        FillAndSort(scratch, scratch.Items());
    }
}
BENCHMARK(BM_ScratchSort_LargeBuffer)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
