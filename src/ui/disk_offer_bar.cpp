// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/disk_offer_bar.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

#include "catalog/catalog_writer.h"
#include "ui/utf8_text.h"

namespace kestavo::ui {
namespace {

bool SameDisk(const media::Drive& a, const media::Drive& b) {
    return a.directory == b.directory && a.label == b.label;
}

}  // namespace

bool HasLoadedCatalog(const CatalogSet& set, const std::string& label) {
    const TreeItem root = set.FindRootItem();
    if (label.empty() || root == kNoItem) return false;
    const std::string written = CatalogName(label);
    for (SiblingMatch match : {SiblingMatch::Exact, SiblingMatch::FirstIgnoringCase})
        for (std::string_view name : {std::string_view(label), std::string_view(written)})
            if (set.ItemNamed(root, name, match) != kNoItem) return true;
    return false;
}

std::string OfferText(const media::Drive& drive, bool hasCatalog) {
    if (drive.label.empty()) return "A disk without a label is in drive " + drive.Name() + ".";
    if (hasCatalog) return "Disk labeled " + drive.label + " is in drive " + drive.Name() + ".";
    return "Disk labeled " + drive.label + " is in drive " + drive.Name() + " and has no catalog.";
}

std::vector<OfferButton> OfferButtons(bool hasCatalog) {
    if (hasCatalog)
        return {{"compare", "Compare", OfferChoice::Compare},
                {"catalogAgain", "Catalog again", OfferChoice::Catalog}};
    return {{"catalog", "Catalog", OfferChoice::Catalog}};
}

DiskOfferBar::DiskOfferBar(const CatalogSet& set, QWidget* parent)
    : QWidget(parent), set_(set), rows_(new QVBoxLayout(this)) {
    rows_->setContentsMargins(0, 0, 0, 0);
    rows_->setSpacing(0);
    hide();
}

void DiskOfferBar::Offer(const media::Drive& drive) {
    Withdraw(drive);
    QWidget* row = MakeRow(drive);
    offers_.push_back({drive, row});
    rows_->addWidget(row);
    show();
}

void DiskOfferBar::Withdraw(const media::Drive& drive) {
    const auto offered = std::find_if(offers_.begin(), offers_.end(),
                                      [&](const Offered& o) { return SameDisk(o.drive, drive); });
    if (offered != offers_.end()) Remove(offered->row);
}

void DiskOfferBar::Choose(const media::Drive& drive, OfferChoice choice) {
    const auto offered = std::find_if(offers_.begin(), offers_.end(),
                                      [&](const Offered& o) { return SameDisk(o.drive, drive); });
    if (offered == offers_.end()) return;
    const media::Drive chosen = offered->drive;
    Remove(offered->row);
    Ask(chosen, choice);
}

bool DiskOfferBar::HasCatalog(const media::Drive& drive) const {
    return HasLoadedCatalog(set_, drive.label);
}

void DiskOfferBar::Ask(const media::Drive& drive, OfferChoice choice) {
    if (choice == OfferChoice::Compare)
        emit CompareAsked(drive);
    else
        emit CatalogAsked(drive);
}

void DiskOfferBar::Remove(QWidget* row) {
    const auto offered = std::find_if(offers_.begin(), offers_.end(),
                                      [row](const Offered& o) { return o.row == row; });
    if (offered == offers_.end()) return;
    const media::Drive drive = offered->drive;
    offers_.erase(offered);
    row->hide();
    row->deleteLater();
    if (offers_.empty()) hide();
    emit OfferRemoved(drive);
}

QWidget* DiskOfferBar::MakeRow(const media::Drive& drive) {
    auto* row = new QFrame(this);
    row->setFrameShape(QFrame::StyledPanel);
    row->setAutoFillBackground(true);
    row->setBackgroundRole(QPalette::ToolTipBase);
    row->setForegroundRole(QPalette::ToolTipText);
    auto* layout = new QHBoxLayout(row);
    const bool hasCatalog = HasLoadedCatalog(set_, drive.label);
    auto* text = new QLabel(FromUtf8(OfferText(drive, hasCatalog)), row);
    text->setTextFormat(Qt::PlainText);
    text->setForegroundRole(QPalette::ToolTipText);
    layout->addWidget(text, 1);
    for (const OfferButton& offered : OfferButtons(hasCatalog)) {
        auto* button = new QPushButton(QString::fromLatin1(offered.label), row);
        button->setObjectName(QString::fromLatin1(offered.name));
        button->setAutoDefault(false);
        connect(button, &QPushButton::clicked, this, [this, row, drive, choice = offered.choice] {
            Remove(row);
            Ask(drive, choice);
        });
        layout->addWidget(button);
    }
    auto* dismiss = new QToolButton(row);
    dismiss->setObjectName(QStringLiteral("dismiss"));
    dismiss->setAutoRaise(true);
    dismiss->setIcon(style()->standardIcon(QStyle::SP_TitleBarCloseButton));
    dismiss->setToolTip(QStringLiteral("Dismiss"));
    connect(dismiss, &QToolButton::clicked, this, [this, row] { Remove(row); });
    layout->addWidget(dismiss);
    return row;
}

}  // namespace kestavo::ui
