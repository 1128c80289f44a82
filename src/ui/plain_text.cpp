// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/plain_text.h"

#include <QLabel>
#include <QMessageBox>

namespace kestavo::ui {

QLabel* PlainLabel(const QString& text, QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setTextFormat(Qt::PlainText);
    label->setText(text);
    return label;
}

void MakePlainText(QMessageBox& box) {
    box.setTextFormat(Qt::PlainText);
}

}  // namespace kestavo::ui
