#include "catalog/text_arena.h"

#include <algorithm>
#include <cstring>

#include <sys/mman.h>
#include <unistd.h>

namespace kestavo {

namespace {

// Maps the whole pages inside a new chunk in one call rather than one
// page fault at a time as the texts fill it. Only a hint: where the system
// refuses, the pages come as they are touched.
void Prefault(char* data, std::size_t size) {
#if defined(MADV_POPULATE_WRITE)
    static const std::uintptr_t pageSize = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
    const auto begin = reinterpret_cast<std::uintptr_t>(data);
    const std::uintptr_t first = (begin + pageSize - 1) & ~(pageSize - 1);
    const std::uintptr_t last = (begin + size) & ~(pageSize - 1);
    if (last > first) ::madvise(reinterpret_cast<void*>(first), last - first, MADV_POPULATE_WRITE);
#else
    (void)data;
    (void)size;
#endif
}

}  // namespace

TextRef TextArena::AddChunk(std::size_t size) {
    if (chunks_.size() >= kMaxChunks) return kNoText;
    chunks_.push_back(Chunk{std::make_unique_for_overwrite<char[]>(size), size});
    if (size >= kMaxChunk) Prefault(chunks_.back().data.get(), size);
    reserved_ += size;
    return static_cast<TextRef>((chunks_.size() - 1) << kOffsetBits);
}

namespace {

// Writes the length, the text and a NUL byte at `out`.
void Store(char* out, std::string_view text, std::size_t lengthBytes, std::uint16_t longText) {
    const std::uint16_t length =
        text.size() < longText ? static_cast<std::uint16_t>(text.size()) : longText;
    std::memcpy(out, &length, lengthBytes);
    std::memcpy(out + lengthBytes, text.data(), text.size());
    out[lengthBytes + text.size()] = '\0';
}

}  // namespace

TextRef TextArena::Add(std::string_view text) {
    const std::size_t need = kLengthBytes + text.size() + 1;
    if (need > kMaxChunk / 4) {
        // A long text gets a chunk of its own, so the shared chunks stay small.
        const TextRef ref = AddChunk(need);
        if (ref == kNoText) return kNoText;
        Store(chunks_.back().data.get(), text, kLengthBytes, kLongText);
        return ref + kLengthBytes;  // the shared chunk being filled stays the current one
    }
    if (current_ == static_cast<std::size_t>(-1) || used_ + need > chunks_[current_].size) {
        const std::size_t size =
            current_ == static_cast<std::size_t>(-1)
                ? kFirstChunk
                : std::min(kMaxChunk, chunks_[current_].size * 2);
        if (AddChunk(std::max(size, need)) == kNoText) return kNoText;
        current_ = chunks_.size() - 1;
        used_ = 0;
    }
    Store(chunks_[current_].data.get() + used_, text, kLengthBytes, kLongText);
    const TextRef ref = static_cast<TextRef>((current_ << kOffsetBits) | (used_ + kLengthBytes));
    used_ += need;
    return ref;
}

void TextArena::Clear() {
    chunks_.clear();
    current_ = static_cast<std::size_t>(-1);
    used_ = 0;
    reserved_ = 0;
}

}  // namespace kestavo
