#include "catalog/text_arena.h"

#include <algorithm>
#include <cstring>

namespace kestavo {

TextRef TextArena::AddChunk(std::size_t size) {
    if (chunks_.size() >= kMaxChunks) return kNoText;
    chunks_.push_back(Chunk{std::make_unique<char[]>(size), size});
    reserved_ += size;
    return static_cast<TextRef>((chunks_.size() - 1) << kOffsetBits);
}

TextRef TextArena::Add(std::string_view text) {
    const std::size_t need = text.size() + 1;
    if (need > kMaxChunk / 4) {
        // A long text gets a chunk of its own, so the shared chunks stay small.
        const TextRef ref = AddChunk(need);
        if (ref == kNoText) return kNoText;
        char* out = chunks_.back().data.get();
        std::memcpy(out, text.data(), text.size());
        out[text.size()] = '\0';
        return ref;  // the shared chunk being filled stays the current one
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
    char* out = chunks_[current_].data.get() + used_;
    std::memcpy(out, text.data(), text.size());
    out[text.size()] = '\0';
    const TextRef ref = static_cast<TextRef>((current_ << kOffsetBits) | used_);
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
