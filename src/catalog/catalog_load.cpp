// SPDX-License-Identifier: GPL-3.0-or-later
#include "catalog/catalog_load.h"

#include "catalog/entry_kind.h"
#include "catalog/utf8_check.h"

namespace kestavo {

CatalogLoad::CatalogLoad(std::string path, bool fromFile)
    : path_(std::move(path)), fromFile_(fromFile) {}

TreeItem CatalogLoad::Root() {
    if (root_ == kNoItem) root_ = tree_.InsertItem(kRootItemText, kRootItemKind, kNoItem);
    return root_;
}

void CatalogLoad::StartStore() {
    // The store belongs to no set while it is read; it is numbered when it
    // joins one.
    store_ = std::make_unique<EntryStore>(/*owner=*/nullptr, /*serial=*/0);
}

FileData* CatalogLoad::AddEntry(TreeItem parent, std::string_view name, std::int64_t size,
                                std::int64_t freeSpace, std::int64_t time, int kind) {
    if (!store_) StartStore();
    if (!IsUtf8(name)) legacyNames_.Add(name);
    FileData* entry = store_->Create(name, parent, size, freeSpace, time, kind);
    lists_.Append(parent, *entry);
    return entry;
}

MessageAnswer CatalogLoad::Show(const Message& message) {
    messages_.push_back(message);
    return message.buttons == MessageButtons::YesNo ? message.defaultAnswer : MessageAnswer::Ok;
}

}  // namespace kestavo
