// SPDX-License-Identifier: GPL-3.0-or-later
// The Properties dialog: what one catalogued item is and what it holds.
#pragma once

#include <QDialog>

#include "catalog/properties.h"

class QLabel;
class QLineEdit;

namespace kestavo::ui {

class PropertiesDialog : public QDialog {
    Q_OBJECT
public:
    explicit PropertiesDialog(PropertyFields fields, QWidget* parent = nullptr);
    const PropertyFields& Fields() const { return fields_; }
    QString FieldText(const char* name) const;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void ShowFields();

    PropertyFields fields_;
    QLineEdit* name_;  // a name may be far longer than the window: it scrolls
    QLabel* type_;
    QLabel* location_;
    QLabel* size_;
    QLabel* contains_;
    QLabel* note_;
    QLabel* date_;
    QLabel* hint_;
    QLabel* codePage_ = nullptr;  // only for a disk read from a legacy code page
};

}  // namespace kestavo::ui
