#include "catalog/file_data.h"

#include <vector>

#include "catalog/catalog_set.h"
#include "catalog/entry_store.h"
#include "catalog/local_time.h"
#include "catalog/size_unit.h"

namespace kestavo {

FileData::FileData(EntryStore& store, TextRef name, TreeItem parentItem, std::int64_t size,
                   std::int64_t freeSpace, std::int64_t time, int kind, std::uint32_t serial)
    : store_(&store),
      size_(size),
      freeSpace_(freeSpace),
      time_(time),
      name_(name),
      parentItem_(parentItem),
      kind_(kind),
      serial_(serial & 0x7fffffffu),
      sizeCounted_(0) {}

// Texts in the store end with a NUL byte, so a name is also a C string.
const char* FileData::GetName() const {
    return name_ == kNoText ? "" : store_->Text(name_).data();
}

std::string_view FileData::Name() const {
    return name_ == kNoText ? "" : store_->Text(name_);
}

std::string_view FileData::GetSizeText() {
    if (sizeText_ != kNoText) return store_->SizeText(sizeText_);
    if (IsContainer() && size_ == 0 && !sizeCounted_) {
        const TreeItem item = FindTreeItem();
        CatalogSet* owner = store_->Owner();
        if (item != kNoItem && owner) size_ = owner->ContentSize(item);
        sizeCounted_ = 1;
    }
    char buffer[kSizeTextCapacity];
    sizeText_ = store_->AddSizeText(FormatSize(size_, buffer));
    return sizeText_ == kNoText ? std::string_view() : store_->SizeText(sizeText_);
}

std::string_view FileData::GetFreeSpaceText() {
    char buffer[kSizeTextCapacity];
    if (freeSpaceText_ == kNoText)
        freeSpaceText_ = store_->AddSizeText(FormatSize(freeSpace_, buffer));
    return freeSpaceText_ == kNoText ? std::string_view() : store_->SizeText(freeSpaceText_);
}

std::string_view FileData::GetDateText() {
    if (dateText_ == kNoText) {
        if (CatalogSet* owner = store_->Owner()) return GetDateText(owner->Clock());
        LocalClock clock;
        return GetDateText(clock);
    }
    return store_->Text(dateText_);
}

std::string_view FileData::GetDateText(LocalClock& clock) {
    if (dateText_ == kNoText) dateText_ = store_->AddText(clock.DateText(time_));
    return dateText_ == kNoText ? std::string_view() : store_->Text(dateText_);
}

std::string_view FileData::GetPath(const ContainerTree* tree) {
    if (pathText_ != kNoText) return store_->Path(pathText_);
    if (!tree && store_->Owner()) tree = &store_->Owner()->Tree();
    if (!tree) return {};
    // Shared by every entry of the same container, and made from the
    // container's parent's text.
    pathText_ = store_->PathOfItem(*tree, parentItem_);
    return store_->Path(pathText_);
}

void FileData::SetPath(std::string_view path) {
    pathText_ = store_->AddPath(path);
}

bool FileData::GetZipArchivePath(std::string& out) {
    out.clear();
    const std::string_view path = GetPath();
    // The archive is the first part after the disk name that passes the Zip
    // test; a disk name is never an archive, and ".zip" inside a longer
    // name ("my.zipfiles") makes no archive.
    std::size_t start = path.find('/');
    while (start != std::string_view::npos) {
        const std::size_t end = path.find('/', start + 1);
        const std::string_view part =
            path.substr(start + 1, end == std::string_view::npos ? end : end - start - 1);
        if (PassesZipTest(part)) {
            out.assign(path.substr(0, start + 1 + part.size()));
            return true;
        }
        start = end;
    }
    return false;
}

TreeItem FileData::FindTreeItem() const {
    const CatalogSet* owner = store_->Owner();
    return owner ? owner->ItemOfEntry(*this) : kNoItem;
}

void FileData::CountContents(TreeItem item, ContentCounts& counts) const {
    if (const CatalogSet* owner = store_->Owner()) owner->CountContents(item, counts);
}

void FileData::ReleaseSizeTexts() {
    sizeText_ = kNoText;
    freeSpaceText_ = kNoText;
}

bool PassesZipTest(std::string_view name) {
    std::size_t pos = name.find(".zip");
    if (pos == std::string_view::npos) pos = name.find(".ZIP");
    return pos != std::string_view::npos && pos > 0 && pos + 4 == name.size();
}

}  // namespace kestavo
