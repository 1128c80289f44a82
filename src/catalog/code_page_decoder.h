// SPDX-License-Identifier: GPL-3.0-or-later
// Turns text written in an 8-bit or double-byte code page (an iconv name
// such as "WINDOWS-1252" or "CP932") into UTF-8.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace kestavo {

class CodePageDecoder {
public:
    // A decoder for `name`; none when the system's iconv does not know it,
    // or when it does not keep the characters of catalog records as they
    // are (UTF-16 or EBCDIC, say).
    static std::optional<CodePageDecoder> Open(const std::string& name);
    ~CodePageDecoder();
    CodePageDecoder(CodePageDecoder&& other) noexcept;
    CodePageDecoder& operator=(CodePageDecoder&& other) noexcept;
    CodePageDecoder(const CodePageDecoder&) = delete;
    CodePageDecoder& operator=(const CodePageDecoder&) = delete;

    // The iconv name it was opened with.
    const std::string& Name() const { return name_; }
    // Appends the UTF-8 of `bytes` to `out`. A byte the code page does not
    // define, or a lead byte without its trail byte, becomes U+FFFD and
    // decoding goes on with the next byte, so nothing is ever cut off.
    void Decode(std::string_view bytes, std::string& out);

private:
    CodePageDecoder(std::string name, void* handle) : name_(std::move(name)), handle_(handle) {}

    std::string name_;
    void* handle_;  // the iconv_t
};

// How a code page is named to the user: "Windows-1252" for WINDOWS-1252 or
// CP1252, otherwise the name in capitals ("CP932", "KOI8-R").
std::string CodePageDisplayName(std::string_view name);

}  // namespace kestavo
