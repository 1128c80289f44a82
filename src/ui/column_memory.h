// SPDX-License-Identifier: GPL-3.0-or-later
// The column widths the user chose by hand in one list, kept by column
// heading so that they outlive a change of the columns shown and, through
// the remembered state, the run.
#pragma once

#include <QHash>
#include <QObject>
#include <QString>
#include <functional>
#include <optional>

class QHeaderView;

namespace kestavo::ui {

// The last sort the user made in a list: the key of the column clicked (as
// the column widths are keyed) and whether that sort was descending.
struct ListSort {
    QString column;
    bool descending = false;
};

class UserColumnWidths : public QObject {
    Q_OBJECT
public:
    // Watches `header`; `keyOf` names a column (its heading, perhaps with
    // the kind of list shown).
    UserColumnWidths(QHeaderView* header, std::function<QString(int column)> keyOf);

    // The width the user gave the column, if any.
    std::optional<int> Width(int column) const;
    const QHash<QString, int>& Widths() const { return widths_; }
    // Takes widths from elsewhere (the last run); implausible ones are dropped.
    void SetWidths(const QHash<QString, int>& widths);

    // The widths a list accepts from the user or from a settings file.
    static bool IsPlausible(int width) { return width >= 8 && width <= 4000; }

signals:
    // The user let go of a divider after changing a width.
    void WidthsChosen();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void OnSectionResized(int column, int newSize);

    QHeaderView* header_;
    std::function<QString(int)> keyOf_;
    QHash<QString, int> widths_;
    // A resize while a mouse button is down on the heading is the user's:
    // a dragged divider or a double click on one. The program's own resizes
    // happen at other times.
    bool mouseDown_ = false;
    bool chosenWhileDown_ = false;
};

}  // namespace kestavo::ui
