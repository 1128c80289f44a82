// SPDX-License-Identifier: GPL-3.0-or-later
// Which legacy code page the names of one catalog were written in. Names
// alone are too short for a reliable guess, so all the names of a catalog
// that are not UTF-8 are gathered and guessed together.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "catalog/code_page_decoder.h"

struct uchardet;

namespace kestavo {

class CodePageGuess {
public:
    CodePageGuess() = default;
    ~CodePageGuess();
    CodePageGuess(CodePageGuess&& other) noexcept;
    CodePageGuess& operator=(CodePageGuess&& other) noexcept;
    CodePageGuess(const CodePageGuess&) = delete;
    CodePageGuess& operator=(const CodePageGuess&) = delete;

    // Takes in one name that is not UTF-8.
    void Add(std::string_view name);
    std::size_t Count() const { return count_; }
    // The Windows code page (an iconv name) the names look written in;
    // empty when the detector has no answer that names one.
    std::string Answer();

private:
    uchardet* detector_ = nullptr;
    std::size_t count_ = 0;
};

// The Windows code page of the script a detector's answer stands for (its
// ISO, EUC or Mac relative is taken for it: catalogs come from Windows,
// which writes names in its own code page of the script); empty for an
// answer that names no legacy code page of Windows.
std::string WindowsCodePageOf(std::string_view detectorAnswer);

// The decoder for a catalog whose names are not UTF-8: the code page
// `setting` names when iconv knows it, else the guess, else Windows-1252;
// none only when the system's iconv lacks even that.
std::optional<CodePageDecoder> ChooseDecoder(const char* setting, CodePageGuess& guess);

}  // namespace kestavo
