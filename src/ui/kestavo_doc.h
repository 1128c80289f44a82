// SPDX-License-Identifier: GPL-3.0-or-later
// The program's document: the catalog set and what the list shows of it,
// under a fixed title.
#pragma once

#include <QString>

#include "catalog/catalog_set.h"
#include "catalog/shown_contents.h"
#include "kestavo_version.h"

namespace kestavo::ui {

class CKestavo2Doc {
public:
    CatalogSet& Catalogs() { return catalogs_; }
    ShownContents& Shown() { return shown_; }
    // The title is always the program's name and version.
    QString Title() const { return QStringLiteral("Kestavo " KESTAVO_VERSION); }

private:
    CatalogSet catalogs_;
    ShownContents shown_{catalogs_};
};

}  // namespace kestavo::ui
