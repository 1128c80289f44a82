// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/terminal_text.h"

#include <gtest/gtest.h>

#include <clocale>
#include <string>

namespace kestavo {
namespace {

// Catalog names are UTF-8 once read, but a name may still hold bytes that do
// not decode (a file system's raw bytes); each shows as one "?", and a
// sequence cut at the end as one.
TEST(TerminalTextTest, BytesThatDoNotDecodeShowAsOneQuestionMarkEach) {
    const std::string before = std::setlocale(LC_CTYPE, nullptr);
    if (!std::setlocale(LC_CTYPE, "C.UTF-8")) GTEST_SKIP() << "no C.UTF-8 locale";
    EXPECT_EQ(TerminalText("a\xff\xfe\xc3\xa9"), "a?\?\xc3\xa9");
    EXPECT_EQ(TerminalText("cut\xe2\x82"), "cut?");
    EXPECT_EQ(TerminalText("tab\there\x7f"), "tab?here?");
    std::setlocale(LC_CTYPE, before.c_str());
}

}  // namespace
}  // namespace kestavo
