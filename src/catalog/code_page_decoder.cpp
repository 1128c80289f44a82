// SPDX-License-Identifier: GPL-3.0-or-later
#include "catalog/code_page_decoder.h"

#include <iconv.h>

#include <cerrno>
#include <cstring>

namespace kestavo {
namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD

iconv_t Handle(void* handle) {
    return static_cast<iconv_t>(handle);
}

// The characters that make up the records of a catalog. A code page that
// does not keep them as they are (UTF-16, UTF-7, EBCDIC) cannot be the one a
// catalog was written in: decoding with it would leave no records to read.
constexpr std::string_view kCatalogCharacters =
    "kvx_version_1_1 < %drivetype default fixed cdrom removable > + \"\" "
    "0123456789 -\r\n\t\v\f"
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";

}  // namespace

std::optional<CodePageDecoder> CodePageDecoder::Open(const std::string& name) {
    if (name.empty()) return std::nullopt;
    const iconv_t handle = ::iconv_open("UTF-8", name.c_str());
    if (handle == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
    CodePageDecoder decoder(name, handle);
    std::string probe;
    decoder.Decode(kCatalogCharacters, probe);
    if (probe != kCatalogCharacters) return std::nullopt;
    return decoder;
}

CodePageDecoder::~CodePageDecoder() {
    if (handle_) ::iconv_close(Handle(handle_));
}

CodePageDecoder::CodePageDecoder(CodePageDecoder&& other) noexcept
    : name_(std::move(other.name_)), handle_(other.handle_) {
    other.handle_ = nullptr;
}

CodePageDecoder& CodePageDecoder::operator=(CodePageDecoder&& other) noexcept {
    if (this != &other) {
        if (handle_) ::iconv_close(Handle(handle_));
        name_ = std::move(other.name_);
        handle_ = other.handle_;
        other.handle_ = nullptr;
    }
    return *this;
}

void CodePageDecoder::Decode(std::string_view bytes, std::string& out) {
    ::iconv(Handle(handle_), nullptr, nullptr, nullptr, nullptr);
    char* in = const_cast<char*>(bytes.data());
    std::size_t inLeft = bytes.size();
    std::size_t used = out.size();
    // Most text grows little; room for a third more saves most regrowing.
    out.resize(used + inLeft + inLeft / 3 + 16);
    while (inLeft > 0) {
        char* to = out.data() + used;
        std::size_t toLeft = out.size() - used;
        const std::size_t done = ::iconv(Handle(handle_), &in, &inLeft, &to, &toLeft);
        used = out.size() - toLeft;
        if (done != static_cast<std::size_t>(-1)) break;
        if (errno == E2BIG) {
            out.resize(out.size() * 2);
            continue;
        }
        // EILSEQ (an undefined byte) or EINVAL (a lead byte at the end):
        // one replacement character for the byte, then the next byte.
        if (out.size() - used < kReplacement.size()) out.resize(out.size() * 2);
        std::memcpy(out.data() + used, kReplacement.data(), kReplacement.size());
        used += kReplacement.size();
        ++in;
        --inLeft;
        ::iconv(Handle(handle_), nullptr, nullptr, nullptr, nullptr);
    }
    out.resize(used);
}

std::string CodePageDisplayName(std::string_view name) {
    std::string upper(name);
    for (char& c : upper)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    std::string_view number;
    if (upper.starts_with("WINDOWS-"))
        number = std::string_view(upper).substr(8);
    else if (upper.starts_with("CP125") && upper.size() == 6)
        number = std::string_view(upper).substr(2);
    if (!number.empty()) return "Windows-" + std::string(number);
    return upper;
}

}  // namespace kestavo
