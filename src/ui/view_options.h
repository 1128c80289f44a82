// SPDX-License-Identifier: GPL-3.0-or-later
// The View Options sheet: the size unit and the optional disk columns. The
// sheet is kept for the life of the program, so it remembers the choices.
#pragma once

#include <QDialog>
#include <QString>
#include <QWidget>

class QCheckBox;
class QComboBox;
class QTabWidget;

namespace kestavo::ui {

// The one page, "Units & Columns", with the values it holds between openings.
class CViewOptionsColumns : public QWidget {
    Q_OBJECT
public:
    explicit CViewOptionsColumns(QWidget* parent = nullptr);

    QString unitText = QStringLiteral("byte");
    bool totalSizeOn = true;
    bool freeSpaceOn = true;
    bool dateCatalogedOn = true;

    // Copies the values to the controls, or the controls to the values.
    void ShowValues();
    void TakeValues();

    QComboBox* UnitBox() const { return unit_; }
    QCheckBox* TotalSizeBox() const { return totalSize_; }
    QCheckBox* FreeSpaceBox() const { return freeSpace_; }
    QCheckBox* DateCatalogedBox() const { return dateCataloged_; }

private:
    QComboBox* unit_;
    QCheckBox* totalSize_;
    QCheckBox* freeSpace_;
    QCheckBox* dateCataloged_;
};

class CViewOptions : public QDialog {
    Q_OBJECT
public:
    explicit CViewOptions(QWidget* parent = nullptr);
    CViewOptionsColumns* Page() const { return page_; }
    // Shows the sheet with the page's values; OK keeps what was chosen.
    int Run();

    void done(int result) override;

private:
    void FocusFirstControl();

    QTabWidget* tabs_;
    CViewOptionsColumns* page_;
};

}  // namespace kestavo::ui
