// SPDX-License-Identifier: GPL-3.0-or-later
// Names and paths come from disks and catalogs, so they may hold anything,
// "<" and "&" included. Every label or message box that shows one shows it
// as plain text: never as formatting, with its line breaks kept.
#pragma once

#include <QString>

class QLabel;
class QMessageBox;
class QWidget;

namespace kestavo::ui {

// A label that shows `text` literally.
QLabel* PlainLabel(const QString& text, QWidget* parent);

// Makes `box` show its text and informative text literally.
void MakePlainText(QMessageBox& box);

}  // namespace kestavo::ui
