// Entry kinds; a kind is also the index of the entry's picture.
#pragma once

namespace kestavo {

inline constexpr int KIND_FIXED_DISK = 0;
inline constexpr int KIND_FOLDER = 1;
inline constexpr int KIND_ZIP_FOLDER = 2;
inline constexpr int KIND_FILE = 3;
inline constexpr int KIND_DEFAULT_DISK = 5;
inline constexpr int KIND_CDROM_DISK = 13;
inline constexpr int KIND_REMOVABLE_DISK = 14;

// Pictures of the image strip that are not entry kinds.
inline constexpr int IMAGE_DRIVE_ROOT = 4;
inline constexpr int IMAGE_DISKETTE = 5;
inline constexpr int IMAGE_MODIFIED = 7;
inline constexpr int IMAGE_IDENTICAL = 8;
inline constexpr int IMAGE_DELETED = 9;
inline constexpr int IMAGE_NEW = 10;
inline constexpr int IMAGE_FOLDER_OPEN = 11;
inline constexpr int IMAGE_ZIP_FOLDER_OPEN = 12;
inline constexpr int kImageCount = 15;

inline constexpr bool IsDiskKind(int kind) {
    return kind == KIND_FIXED_DISK || kind == KIND_DEFAULT_DISK || kind == KIND_CDROM_DISK ||
           kind == KIND_REMOVABLE_DISK;
}
inline constexpr bool IsContainerKind(int kind) {
    return IsDiskKind(kind) || kind == KIND_FOLDER || kind == KIND_ZIP_FOLDER;
}

// The text of the top root item, parent of every disk.
inline constexpr const char* kRootItemText = "My Removable Disk Drive";

}  // namespace kestavo
