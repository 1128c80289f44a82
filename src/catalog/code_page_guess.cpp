// SPDX-License-Identifier: GPL-3.0-or-later
#include "catalog/code_page_guess.h"

#include <uchardet.h>

#include <array>
#include <utility>

namespace kestavo {
namespace {

constexpr const char* kFallbackCodePage = "WINDOWS-1252";

struct ScriptCodePage {
    std::string_view answer;
    const char* codePage;
};

// Detector answers and the Windows code page of the same script.
constexpr std::array kScriptCodePages{
    ScriptCodePage{"WINDOWS-1252", "WINDOWS-1252"},
    ScriptCodePage{"ISO-8859-1", "WINDOWS-1252"},
    ScriptCodePage{"ISO-8859-15", "WINDOWS-1252"},
    ScriptCodePage{"WINDOWS-1250", "WINDOWS-1250"},
    ScriptCodePage{"ISO-8859-2", "WINDOWS-1250"},
    ScriptCodePage{"MAC-CENTRALEUROPE", "WINDOWS-1250"},
    ScriptCodePage{"IBM852", "WINDOWS-1250"},
    ScriptCodePage{"WINDOWS-1251", "WINDOWS-1251"},
    ScriptCodePage{"ISO-8859-5", "WINDOWS-1251"},
    ScriptCodePage{"KOI8-R", "WINDOWS-1251"},
    ScriptCodePage{"KOI8-U", "WINDOWS-1251"},
    ScriptCodePage{"IBM855", "WINDOWS-1251"},
    ScriptCodePage{"IBM866", "WINDOWS-1251"},
    ScriptCodePage{"MAC-CYRILLIC", "WINDOWS-1251"},
    ScriptCodePage{"WINDOWS-1253", "WINDOWS-1253"},
    ScriptCodePage{"ISO-8859-7", "WINDOWS-1253"},
    ScriptCodePage{"WINDOWS-1254", "WINDOWS-1254"},
    ScriptCodePage{"ISO-8859-9", "WINDOWS-1254"},
    ScriptCodePage{"WINDOWS-1255", "WINDOWS-1255"},
    ScriptCodePage{"ISO-8859-8", "WINDOWS-1255"},
    ScriptCodePage{"WINDOWS-1256", "WINDOWS-1256"},
    ScriptCodePage{"ISO-8859-6", "WINDOWS-1256"},
    ScriptCodePage{"WINDOWS-1257", "WINDOWS-1257"},
    ScriptCodePage{"ISO-8859-4", "WINDOWS-1257"},
    ScriptCodePage{"ISO-8859-13", "WINDOWS-1257"},
    ScriptCodePage{"WINDOWS-1258", "WINDOWS-1258"},
    ScriptCodePage{"TIS-620", "CP874"},
    ScriptCodePage{"ISO-8859-11", "CP874"},
    ScriptCodePage{"SHIFT_JIS", "CP932"},
    ScriptCodePage{"GB18030", "CP936"},
    ScriptCodePage{"GB2312", "CP936"},
    ScriptCodePage{"EUC-KR", "CP949"},
    ScriptCodePage{"UHC", "CP949"},
    ScriptCodePage{"BIG5", "CP950"},
};

}  // namespace

CodePageGuess::~CodePageGuess() {
    if (detector_) uchardet_delete(detector_);
}

CodePageGuess::CodePageGuess(CodePageGuess&& other) noexcept
    : detector_(std::exchange(other.detector_, nullptr)), count_(std::exchange(other.count_, 0)) {}

CodePageGuess& CodePageGuess::operator=(CodePageGuess&& other) noexcept {
    if (this != &other) {
        if (detector_) uchardet_delete(detector_);
        detector_ = std::exchange(other.detector_, nullptr);
        count_ = std::exchange(other.count_, 0);
    }
    return *this;
}

void CodePageGuess::Add(std::string_view name) {
    if (!detector_) detector_ = uchardet_new();
    if (!detector_) return;
    ++count_;
    // One name a line, so that words of neighbouring names do not run into
    // each other.
    uchardet_handle_data(detector_, name.data(), name.size());
    uchardet_handle_data(detector_, "\n", 1);
}

std::string CodePageGuess::Answer() {
    if (!detector_) return {};
    uchardet_data_end(detector_);
    const char* answer = uchardet_get_charset(detector_);
    return answer ? WindowsCodePageOf(answer) : std::string();
}

std::string WindowsCodePageOf(std::string_view detectorAnswer) {
    std::string upper(detectorAnswer);
    for (char& c : upper)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    for (const ScriptCodePage& known : kScriptCodePages)
        if (known.answer == upper) return known.codePage;
    return {};
}

std::optional<CodePageDecoder> ChooseDecoder(const char* setting, CodePageGuess& guess) {
    std::optional<CodePageDecoder> decoder;
    if (setting && *setting) decoder = CodePageDecoder::Open(setting);
    if (!decoder) decoder = CodePageDecoder::Open(guess.Answer());
    if (!decoder) decoder = CodePageDecoder::Open(kFallbackCodePage);
    return decoder;
}

}  // namespace kestavo
