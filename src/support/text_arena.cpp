// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/text_arena.h"

#include <algorithm>
#include <cstring>

#include "support/prefault.h"

namespace kestavo {

TextRef TextArena::AddChunk(std::size_t size) {
    if (chunks_.size() >= kMaxChunks) return kNoText;
    Chunk chunk;
    chunk.owned = std::make_unique_for_overwrite<char[]>(size);
    chunk.data = chunk.owned.get();
    chunk.size = size;
    chunk.filled = size;
    chunks_.push_back(std::move(chunk));
    if (size >= kMaxChunk) PrefaultPages(chunks_.back().owned.get(), size);
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
        Store(chunks_.back().owned.get(), text, kLengthBytes, kLongText);
        return ref + kLengthBytes;  // the shared chunk being filled stays the current one
    }
    if (current_ == static_cast<std::size_t>(-1) || used_ + need > chunks_[current_].size) {
        const std::size_t size = current_ == static_cast<std::size_t>(-1)
                                     ? kFirstChunk
                                     : std::min(kMaxChunk, chunks_[current_].size * 2);
        if (AddChunk(std::max(size, need)) == kNoText) return kNoText;
        if (current_ != static_cast<std::size_t>(-1)) chunks_[current_].filled = used_;
        current_ = chunks_.size() - 1;
        used_ = 0;
    }
    Store(chunks_[current_].owned.get() + used_, text, kLengthBytes, kLongText);
    const TextRef ref = static_cast<TextRef>((current_ << kOffsetBits) | (used_ + kLengthBytes));
    used_ += need;
    return ref;
}

bool TextArena::AdoptChunks(const std::vector<std::string_view>& chunks) {
    if (!chunks_.empty() || chunks.size() > kMaxChunks) return false;
    chunks_.reserve(chunks.size());
    for (std::string_view bytes : chunks) {
        Chunk chunk;
        chunk.data = bytes.data();
        chunk.size = bytes.size();
        chunk.filled = bytes.size();
        chunks_.push_back(std::move(chunk));
    }
    // No adopted chunk is ever written: the next text starts a chunk.
    current_ = static_cast<std::size_t>(-1);
    used_ = 0;
    return true;
}

bool TextArena::IsWholeText(TextRef ref) const {
    const std::size_t chunk = ref >> kOffsetBits;
    const std::size_t offset = ref & kOffsetMask;
    if (chunk >= chunks_.size()) return false;
    const std::size_t size = chunk == current_ ? used_ : chunks_[chunk].filled;
    if (offset < kLengthBytes || offset >= size) return false;
    const char* text = chunks_[chunk].data + offset;
    std::uint16_t length = 0;
    std::memcpy(&length, text - kLengthBytes, kLengthBytes);
    if (length == kLongText) return std::memchr(text, '\0', size - offset) != nullptr;
    return offset + length < size && text[length] == '\0';
}

void TextArena::Clear() {
    chunks_.clear();
    current_ = static_cast<std::size_t>(-1);
    used_ = 0;
    reserved_ = 0;
}

}  // namespace kestavo
