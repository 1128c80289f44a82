// SPDX-License-Identifier: GPL-3.0-or-later
// The program's pictures: the image strip shared by the tree, the list and
// the result lists, the toolbar pictures and the application icon.
#pragma once

#include <QHash>
#include <QIcon>
#include <array>

#include "catalog/entry_kind.h"

namespace kestavo::ui {

// The strip's pictures: an entry kind's is the one of its number; these are
// the others.
inline constexpr int IMAGE_DRIVE_ROOT = 4;
inline constexpr int IMAGE_DISKETTE = 5;
inline constexpr int IMAGE_MODIFIED = 7;
inline constexpr int IMAGE_IDENTICAL = 8;
inline constexpr int IMAGE_DELETED = 9;
inline constexpr int IMAGE_NEW = 10;
inline constexpr int IMAGE_FOLDER_OPEN = 11;
inline constexpr int IMAGE_ZIP_FOLDER_OPEN = 12;

// The picture of a tree item or entry of `kind`, and of a tree item of
// `kind` while it is selected: folders and Zip Folders show open.
constexpr int KindPicture(int kind) {
    return kind == kRootItemKind ? IMAGE_DRIVE_ROOT : kind;
}
constexpr int SelectedKindPicture(int kind) {
    if (kind == KIND_FOLDER) return IMAGE_FOLDER_OPEN;
    if (kind == KIND_ZIP_FOLDER) return IMAGE_ZIP_FOLDER_OPEN;
    return KindPicture(kind);
}

class ImageStrip {
public:
    ImageStrip();
    // Picture `index` of the strip (0 to 14); an empty icon otherwise.
    QIcon Picture(int index) const;
    // Shown normally as `image` and, when selected, as `selectedImage`.
    QIcon TreePicture(int image, int selectedImage) const;
    // The tree's picture of an item of `kind`.
    QIcon ItemPicture(int kind) const {
        return TreePicture(KindPicture(kind), SelectedKindPicture(kind));
    }

private:
    std::array<QIcon, 15> pictures_;
    mutable QHash<int, QIcon> pairs_;
};

QIcon ToolbarPicture(const char* name);
QIcon ApplicationIcon();

}  // namespace kestavo::ui
