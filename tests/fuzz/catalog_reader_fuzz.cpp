// SPDX-License-Identifier: GPL-3.0-or-later
// Feeds arbitrary bytes to the catalog reader, then uses what it loaded the
// way the windows do: paths, size and date texts, counts, and a second load
// of the same text that replaces the first. Names that are not UTF-8 are
// decoded in a code page: guessed, or one of the double-byte pages set, as
// the input's length decides; whatever the bytes, every name read must be
// UTF-8 afterwards.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "catalog/catalog_reader.h"
#include "catalog/catalog_set.h"
#include "loaded_set_use.h"

namespace {

// No setting (the guess decides) for half of the inputs, a double-byte or
// Cyrillic page for the others.
void ChooseCodePage(std::size_t size) {
    static const char* const kSettings[] = {nullptr, nullptr, nullptr, nullptr,  "CP932",
                                            "CP936", "CP949", "CP950", "CP1251", "UTF-16"};
    const char* setting = kSettings[size % (sizeof kSettings / sizeof kSettings[0])];
    if (setting)
        ::setenv("KESTAVO_CODEPAGE", setting, 1);
    else
        ::unsetenv("KESTAVO_CODEPAGE");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    ChooseCodePage(size);
    kestavo::fuzz::IgnoredMessages messages;
    kestavo::CatalogSet set;
    kestavo::LoadCatalogText(set, text, "fuzz.kvx", messages);
    kestavo::fuzz::UseWhatWasLoaded(set, kestavo::fuzz::Names::Utf8);
    kestavo::LoadCatalogText(set, text, "fuzz.kvx", messages);
    kestavo::fuzz::UseWhatWasLoaded(set, kestavo::fuzz::Names::Utf8);
    return 0;
}
