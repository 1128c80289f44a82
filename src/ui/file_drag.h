// SPDX-License-Identifier: GPL-3.0-or-later
// Rows dragged out of a list as the real files they stand for.
#pragma once

#include <QStringList>
#include <vector>

#include "catalog/file_data.h"

class QMimeData;

namespace kestavo::ui {

// The MIME type a drag of files carries.
QStringList FileDragTypes();

// The files of `entries` on the drives holding their disks, as
// text/uri-list; entries whose disk is in no drive (or whose file is not
// there, or that lie inside a Zip Folder) are left out. Null when none is
// left: nothing is dragged.
QMimeData* PresentFilesMimeData(const std::vector<FileData*>& entries);

}  // namespace kestavo::ui
