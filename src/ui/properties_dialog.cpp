// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/properties_dialog.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QResizeEvent>
#include <QScreen>
#include <QVBoxLayout>
#include <algorithm>

namespace kestavo::ui {
namespace {

QLabel* ValueLabel(QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    label->setTextFormat(Qt::PlainText);
    return label;
}

// A read-only field that looks like the labels beside it; a text longer
// than the field scrolls inside it instead of widening the window.
QLineEdit* ScrollingValue(QWidget* parent) {
    auto* field = new QLineEdit(parent);
    field->setReadOnly(true);
    field->setFrame(false);
    field->setMinimumWidth(0);
    QPalette palette = field->palette();
    palette.setBrush(QPalette::Base, palette.brush(QPalette::Window));
    field->setPalette(palette);
    return field;
}

QString Text(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

PropertiesDialog::PropertiesDialog(PropertyFields fields, QWidget* parent)
    : QDialog(parent), fields_(std::move(fields)) {
    setWindowTitle(QStringLiteral("Properties"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setSizeGripEnabled(true);

    name_ = ScrollingValue(this);
    type_ = ValueLabel(this);
    location_ = ValueLabel(this);
    location_->setWordWrap(true);
    size_ = ValueLabel(this);
    contains_ = ValueLabel(this);
    note_ = ValueLabel(this);
    date_ = ValueLabel(this);
    hint_ = new QLabel(this);
    hint_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

    auto* top = new QGridLayout;
    auto* nameLabel = new QLabel(QStringLiteral("Name:"), this);
    nameLabel->setBuddy(name_);
    top->addWidget(nameLabel, 0, 0);
    top->addWidget(name_, 0, 1);
    top->setColumnStretch(1, 1);

    auto* box = new QGroupBox(this);
    auto* grid = new QGridLayout(box);
    int row = 0;
    for (auto [label, value] : {std::pair{"Type:", type_},
                                {"Location:", location_},
                                {"Size:", size_},
                                {"Contains:", contains_}}) {
        auto* caption = new QLabel(QString::fromLatin1(label), box);
        caption->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        grid->addWidget(caption, row, 0);
        grid->addWidget(value, row++, 1);
    }
    grid->addWidget(note_, row++, 1);
    if (!fields_.codePage.empty()) {
        codePage_ = ValueLabel(box);
        auto* caption = new QLabel(QStringLiteral("Code page:"), box);
        caption->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        grid->addWidget(caption, row, 0);
        grid->addWidget(codePage_, row, 1);
    }
    grid->setColumnStretch(1, 1);
    // The location may wrap into a second line when the window is narrow.
    location_->setMinimumHeight(fontMetrics().lineSpacing() * 2);
    location_->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    auto* dateRow = new QGridLayout;
    dateRow->addWidget(new QLabel(QStringLiteral("Date:"), this), 0, 0);
    dateRow->addWidget(date_, 0, 1);
    dateRow->setColumnStretch(1, 1);
    top->setColumnMinimumWidth(0, 70);
    grid->setColumnMinimumWidth(0, 60);
    dateRow->setColumnMinimumWidth(0, 70);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(box);
    layout->addLayout(dateRow);
    layout->addWidget(hint_);
    layout->addWidget(buttons);
    ShowFields();
    // At first as wide as the fields need, but never wider than the dialog's
    // own width in dialog units (a dialog unit is a quarter of the average
    // character width) nor narrower than its least width in pixels: long
    // texts scroll or wrap inside their fields;
    constexpr int kDialogUnits = 242;
    constexpr int kDialogUnitsPerChar = 4;
    constexpr int kLeastWidth = 420;
    int widest = std::max(kLeastWidth,
                          fontMetrics().averageCharWidth() * kDialogUnits / kDialogUnitsPerChar);
    // and never wider than the screen, its window frame included.
    constexpr int kFrameAllowance = 20;
    if (const QScreen* shownOn = screen())
        widest = std::min(widest, shownOn->availableGeometry().width() - kFrameAllowance);
    resize(std::clamp(sizeHint().width(), std::min(kLeastWidth, widest), widest),
           sizeHint().height());
}

void PropertiesDialog::ShowFields() {
    name_->setText(Text(fields_.name));
    name_->setCursorPosition(0);
    name_->setToolTip(name_->text());
    type_->setText(Text(fields_.type));
    location_->setText(Text(fields_.location));
    size_->setText(Text(fields_.size));
    contains_->setText(Text(fields_.contains));
    note_->setText(Text(fields_.note));
    date_->setText(Text(fields_.date));
    hint_->setText(Text(fields_.hint));
    if (codePage_) codePage_->setText(Text(fields_.codePage));
}

QString PropertiesDialog::FieldText(const char* name) const {
    const std::string_view field = name;
    if (field == "name") return name_->text();
    if (field == "codepage") return codePage_ ? codePage_->text() : QString();
    const QLabel* label = field == "type"       ? type_
                          : field == "location" ? location_
                          : field == "size"     ? size_
                          : field == "contains" ? contains_
                          : field == "note"     ? note_
                          : field == "date"     ? date_
                                                : hint_;
    return label->text();
}

void PropertiesDialog::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    // The first resize after the dialog appeared is the user's: the hint
    // that it can be resized has done its job.
    if (isVisible() && event->oldSize().isValid() && event->oldSize() != event->size()) {
        fields_.hint.clear();
        ShowFields();
    }
}

}  // namespace kestavo::ui
