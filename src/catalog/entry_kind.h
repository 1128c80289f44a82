// SPDX-License-Identifier: GPL-3.0-or-later
// Entry kinds, as catalog files write them.
#pragma once

namespace kestavo {

inline constexpr int KIND_FIXED_DISK = 0;
inline constexpr int KIND_FOLDER = 1;
inline constexpr int KIND_ZIP_FOLDER = 2;
inline constexpr int KIND_FILE = 3;
inline constexpr int KIND_DEFAULT_DISK = 5;
inline constexpr int KIND_CDROM_DISK = 13;
inline constexpr int KIND_REMOVABLE_DISK = 14;

// The kind of the top root item, which stands for no entry.
inline constexpr int kRootItemKind = 4;

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
