// SPDX-License-Identifier: GPL-3.0-or-later
// Feeds arbitrary bytes to the catalog reader, then uses what it loaded the
// way the windows do: paths, size and date texts, counts, and a second load
// of the same text that replaces the first.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "catalog/catalog_reader.h"
#include "catalog/catalog_set.h"
#include "catalog/properties.h"

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
        set.ForEachEntryUnder(item, [](kestavo::FileData& e) {
            e.GetPath();
            e.GetSizeText();
            e.GetDateText();
            std::string archive;
            e.GetZipArchivePath(archive);
        });
        for (kestavo::TreeItem child : tree.Children(item)) pending.push_back(child);
    }
    kestavo::PropertiesOfRoot(set);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    IgnoredMessages messages;
    kestavo::CatalogSet set;
    kestavo::LoadCatalogText(set, text, "fuzz.kvx", messages);
    UseWhatWasLoaded(set);
    kestavo::LoadCatalogText(set, text, "fuzz.kvx", messages);
    UseWhatWasLoaded(set);
    return 0;
}
