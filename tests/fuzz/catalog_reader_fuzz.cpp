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
#include "catalog/properties.h"
#include "catalog/utf8_check.h"

namespace {

class IgnoredMessages : public kestavo::MessageSink {
public:
    kestavo::MessageAnswer Show(const kestavo::Message& message) override {
        return message.defaultAnswer;
    }
};

void UseWhatWasLoaded(kestavo::CatalogSet& set) {
    const kestavo::ContainerTree& tree = set.Tree();
    std::size_t visited = 0;
    std::vector<kestavo::TreeItem> pending{set.RootItem()};
    while (!pending.empty() && visited < 2000) {
        const kestavo::TreeItem item = pending.back();
        pending.pop_back();
        ++visited;
        if (!kestavo::IsUtf8(tree.ItemText(item))) __builtin_trap();
        set.ForEachEntryUnder(item, [&set](kestavo::FileData& e) {
            if (!kestavo::IsUtf8(e.GetName())) __builtin_trap();
            set.PathOf(e);
            set.SizeTextOf(e);
            set.DateTextOf(e);
            std::string archive;
            set.ArchivePathOf(e, archive);
        });
        for (kestavo::TreeItem child : tree.Children(item)) pending.push_back(child);
    }
    kestavo::PropertiesOfRoot(set);
    for (kestavo::TreeItem disk : tree.Children(set.RootItem()))
        if (kestavo::FileData* entry = set.EntryOfItem(disk)) kestavo::PropertiesOfEntry(*entry);
}

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
    IgnoredMessages messages;
    kestavo::CatalogSet set;
    kestavo::LoadCatalogText(set, text, "fuzz.kvx", messages);
    UseWhatWasLoaded(set);
    kestavo::LoadCatalogText(set, text, "fuzz.kvx", messages);
    UseWhatWasLoaded(set);
    return 0;
}
