// SPDX-License-Identifier: GPL-3.0-or-later
// The bar above the panes that offers to catalog, or to compare, a disk that
// was just mounted: one row per disk, without a modal box, gone when the
// disk goes or the user dismisses it.
#pragma once

#include <QWidget>
#include <string>
#include <vector>

#include "catalog/catalog_set.h"
#include "media/drive_map.h"

class QVBoxLayout;

namespace kestavo::ui {

// Whether a catalog of the disk labelled `label` is loaded: by the label
// itself or by the name the catalog writer writes for it.
bool HasLoadedCatalog(const CatalogSet& set, const std::string& label);

// The text of the offer for a disk, with or without a loaded catalog.
std::string OfferText(const media::Drive& drive, bool hasCatalog);

// What an offer's buttons ask for.
enum class OfferChoice { Compare, Catalog };

// The buttons of an offer: their object name and text, and what each asks for.
struct OfferButton {
    const char* name;
    const char* label;
    OfferChoice choice;
};
std::vector<OfferButton> OfferButtons(bool hasCatalog);

class DiskOfferBar : public QWidget {
    Q_OBJECT
public:
    explicit DiskOfferBar(const CatalogSet& set, QWidget* parent = nullptr);

    // Offers the disk in `drive`; a disk already offered is offered once.
    void Offer(const media::Drive& drive);
    // Takes back the offer of the disk in `drive`, if there is one.
    void Withdraw(const media::Drive& drive);

    // What a click on the offer's button for `choice` does: the offer goes
    // and the choice is asked for. Nothing when the disk is not offered.
    void Choose(const media::Drive& drive, OfferChoice choice);
    // Whether the disk in `drive` has a loaded catalog, as its offer says.
    bool HasCatalog(const media::Drive& drive) const;

    int OfferCount() const { return static_cast<int>(offers_.size()); }
    // The row of the offer `index`, in the order they were made.
    QWidget* OfferRow(int index) const { return offers_[static_cast<std::size_t>(index)].row; }

signals:
    void CompareAsked(const media::Drive& drive);
    void CatalogAsked(const media::Drive& drive);
    // The offer of the disk in `drive` went: used, dismissed or withdrawn.
    void OfferRemoved(const media::Drive& drive);

private:
    struct Offered {
        media::Drive drive;
        QWidget* row;
    };
    QWidget* MakeRow(const media::Drive& drive);
    void Remove(QWidget* row);
    void Ask(const media::Drive& drive, OfferChoice choice);

    const CatalogSet& set_;
    QVBoxLayout* rows_;
    std::vector<Offered> offers_;
};

}  // namespace kestavo::ui
