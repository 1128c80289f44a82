// SPDX-License-Identifier: GPL-3.0-or-later
// The members of FileData that ask the entry's store and catalog set: its
// texts, its content size, its tree item and counts. They stand apart from
// file_data.cpp, which needs neither, so that the entry itself sits below
// the store and the set that hold it.
#include "catalog/catalog_set.h"
#include "catalog/entry_store.h"
#include "catalog/file_data.h"
#include "catalog/local_time.h"
#include "catalog/size_unit.h"

namespace kestavo {

std::int64_t FileData::GetFreeSpace() const {
    return Store().FreeSpace(serial_);
}

std::string_view FileData::GetSizeText() {
    EntryStore& store = Store();
    TextRef& text = store.TextsOf(serial_).size;
    if (text != kNoText) return store.SizeText(text);
    SettleSize();
    char buffer[kSizeTextCapacity];
    text = store.AddSizeText(FormatSize(size_, buffer));
    return text == kNoText ? std::string_view() : store.SizeText(text);
}

void FileData::SettleSize() {
    if (!IsContainer() || size_ != 0 || sizeCounted_) return;
    const TreeItem item = FindTreeItem();
    CatalogSet* owner = Store().Owner();
    if (item != kNoItem && owner) size_ = owner->ContentSize(item);
    sizeCounted_ = 1;
}

std::string_view FileData::GetFreeSpaceText() {
    EntryStore& store = Store();
    TextRef& text = store.TextsOf(serial_).freeSpace;
    char buffer[kSizeTextCapacity];
    if (text == kNoText) text = store.AddSizeText(FormatSize(store.FreeSpace(serial_), buffer));
    return text == kNoText ? std::string_view() : store.SizeText(text);
}

std::string_view FileData::GetDateText() {
    EntryStore& store = Store();
    TextRef& text = store.TextsOf(serial_).date;
    if (text != kNoText) return store.Text(text);
    if (CatalogSet* owner = store.Owner()) {
        text = store.AddText(owner->Clock().DateText(time_));
    } else {
        LocalClock clock;
        text = store.AddText(clock.DateText(time_));
    }
    return text == kNoText ? std::string_view() : store.Text(text);
}

std::string_view FileData::GetPath(const ContainerTree* tree) {
    EntryStore& store = Store();
    EntryStore::EntryTexts* texts = store.FindTexts(serial_);
    if (texts && texts->path != kNoText) return store.Path(texts->path);
    if (!tree && store.Owner()) tree = &store.Owner()->Tree();
    if (!tree) return {};
    // Shared by every entry of the same container, and made from the
    // container's parent's text. An entry whose other texts are kept keeps
    // a reference to it too, which is quicker to follow than the folder's.
    const TextRef path = store.PathOfItem(*tree, parentItem_);
    if (texts) texts->path = path;
    return store.Path(path);
}

void FileData::SetPath(std::string_view path) {
    EntryStore& store = Store();
    store.TextsOf(serial_).path = store.AddPath(path);
}

bool FileData::GetZipArchivePath(std::string& out) {
    out.clear();
    const std::string_view path = GetPath();
    // The archive is the first part after the disk name that passes the
    // archive test; a disk name is never an archive, and ".zip" inside a
    // longer name ("my.zipfiles") makes no archive.
    std::size_t start = path.find('/');
    while (start != std::string_view::npos) {
        const std::size_t end = path.find('/', start + 1);
        const std::string_view part =
            path.substr(start + 1, end == std::string_view::npos ? end : end - start - 1);
        if (PassesArchiveTest(part)) {
            out.assign(path.substr(0, start + 1 + part.size()));
            return true;
        }
        start = end;
    }
    return false;
}

TreeItem FileData::FindTreeItem() const {
    const CatalogSet* owner = Store().Owner();
    return owner ? owner->ItemOfEntry(*this) : kNoItem;
}

void FileData::CountContents(TreeItem item, ContentCounts& counts) const {
    if (const CatalogSet* owner = Store().Owner()) owner->CountContents(item, counts);
}

void FileData::ReleaseSizeTexts() {
    if (EntryStore::EntryTexts* texts = Store().FindTexts(serial_)) {
        texts->size = kNoText;
        texts->freeSpace = kNoText;
    }
}

}  // namespace kestavo
