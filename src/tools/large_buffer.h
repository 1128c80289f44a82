// Scratch arrays of millions of small records for one sort. They are
// backed by huge pages where the system offers them, because touching
// hundreds of megabytes page by page costs more than the sort itself.
#pragma once

#include <sys/mman.h>

#include <cstddef>
#include <cstdlib>
#include <new>
#include <span>
#include <type_traits>

namespace kestavo {

template <class T>
class LargeBuffer {
    static_assert(std::is_trivially_copyable_v<T> && std::is_trivially_destructible_v<T>);

public:
    explicit LargeBuffer(std::size_t count) : count_(count) {
        constexpr std::size_t kHugePage = std::size_t{1} << 21;
        const std::size_t bytes = (count * sizeof(T) + kHugePage - 1) / kHugePage * kHugePage;
        if (bytes == 0) return;
        data_ = static_cast<T*>(std::aligned_alloc(kHugePage, bytes));
        if (!data_) throw std::bad_alloc();
        ::madvise(data_, bytes, MADV_HUGEPAGE);  // a hint; refused hints change nothing
    }
    ~LargeBuffer() { std::free(data_); }
    LargeBuffer(const LargeBuffer&) = delete;
    LargeBuffer& operator=(const LargeBuffer&) = delete;

    std::span<T> Items() { return {data_, count_}; }
    T& operator[](std::size_t i) { return data_[i]; }

private:
    T* data_ = nullptr;
    std::size_t count_;
};

}  // namespace kestavo
