// SPDX-License-Identifier: GPL-3.0-or-later
// What the catalog set tells those who show or hold its entries.
#pragma once

namespace kestavo {

class CatalogSetObserver {
public:
    virtual ~CatalogSetObserver() = default;
    // Entries are about to be destroyed: anything holding entry pointers
    // (lists, result lists) lets go of them.
    virtual void EntriesAboutToBeRemoved() = 0;
    // A catalog was read (damaged or not), or a run of loads read at least
    // one: the disks under the top root item changed.
    virtual void DisksLoaded() {}
    // Every cached size text was dropped, as after a change of size unit.
    virtual void SizeTextsReleased() {}
};

}  // namespace kestavo
