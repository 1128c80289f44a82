// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/view_options.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCompleter>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QTabWidget>
#include <QVBoxLayout>

#include "catalog/size_unit.h"
#include "ui/utf8_text.h"

namespace kestavo::ui {

CViewOptionsColumns::CViewOptionsColumns(QWidget* parent)
    : QWidget(parent),
      unit_(new QComboBox(this)),
      totalSize_(new QCheckBox(QStringLiteral("Total Size"), this)),
      freeSpace_(new QCheckBox(QStringLiteral("Free Space"), this)),
      dateCataloged_(new QCheckBox(QStringLiteral("Date Cataloged"), this)) {
    unit_->setEditable(true);
    // A typed text is kept in the box as it is: it never becomes an entry of
    // the drop-down, and "kb" is not completed or matched to "KB".
    unit_->setInsertPolicy(QComboBox::NoInsert);
    unit_->completer()->setCaseSensitivity(Qt::CaseSensitive);
    for (const NamedSizeUnit& named : kSizeUnitNames) unit_->addItem(FromUtf8(named.name));
    constexpr int kUnitChars = 5;  // "byte" and room
    unit_->setMinimumContentsLength(kUnitChars);
    unit_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);

    auto* unitRow = new QHBoxLayout;
    unitRow->addWidget(new QLabel(QStringLiteral("Show file sizes in"), this));
    unitRow->addWidget(unit_);
    unitRow->addWidget(new QLabel(QStringLiteral("units"), this));
    unitRow->addStretch(1);

    auto* group = new QGroupBox(QStringLiteral("Show Disk Columns"), this);
    auto* boxes = new QVBoxLayout(group);
    for (QCheckBox* box : {totalSize_, freeSpace_, dateCataloged_}) {
        box->setParent(group);
        boxes->addWidget(box);
    }

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(unitRow);
    layout->addWidget(group);
    layout->addStretch(1);
    ShowValues();
}

void CViewOptionsColumns::ShowValues() {
    unit_->setEditText(unitText);
    totalSize_->setChecked(totalSizeOn);
    freeSpace_->setChecked(freeSpaceOn);
    dateCataloged_->setChecked(dateCatalogedOn);
}

void CViewOptionsColumns::TakeValues() {
    unitText = unit_->currentText();
    totalSizeOn = totalSize_->isChecked();
    freeSpaceOn = freeSpace_->isChecked();
    dateCatalogedOn = dateCataloged_->isChecked();
}

CViewOptions::CViewOptions(QWidget* parent)
    : QDialog(parent), tabs_(new QTabWidget(this)), page_(new CViewOptionsColumns) {
    setWindowTitle(QStringLiteral("View Options"));
    tabs_->addTab(page_, QStringLiteral("Units && Columns"));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tabs_);
    layout->addWidget(buttons);
}

int CViewOptions::Run() {
    page_->ShowValues();
    // Each opening starts where the first did, not on the button that
    // closed the sheet last time.
    tabs_->setCurrentIndex(0);
    FocusFirstControl();
    return exec();
}

void CViewOptions::FocusFirstControl() {
    // The control a window shown for the first time focuses: the first one
    // in the tab order that takes the focus.
    for (QWidget* next = nextInFocusChain(); next != this; next = next->nextInFocusChain())
        if ((next->focusPolicy() & Qt::TabFocus) && next->isEnabled() && !next->isHidden()) {
            next->setFocus(Qt::TabFocusReason);
            return;
        }
}

void CViewOptions::done(int result) {
    if (result == QDialog::Accepted) page_->TakeValues();
    QDialog::done(result);
}

}  // namespace kestavo::ui
