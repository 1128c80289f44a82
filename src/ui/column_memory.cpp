// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/column_memory.h"

#include <QEvent>
#include <QHeaderView>

namespace kestavo::ui {

UserColumnWidths::UserColumnWidths(QHeaderView* header, std::function<QString(int column)> keyOf)
    : QObject(header), header_(header), keyOf_(std::move(keyOf)) {
    header_->viewport()->installEventFilter(this);
    connect(header_, &QHeaderView::sectionResized, this,
            [this](int column, int, int newSize) { OnSectionResized(column, newSize); });
}

std::optional<int> UserColumnWidths::Width(int column) const {
    const auto it = widths_.constFind(keyOf_(column));
    if (it == widths_.cend()) return std::nullopt;
    return *it;
}

void UserColumnWidths::SetWidths(const QHash<QString, int>& widths) {
    widths_.clear();
    for (auto it = widths.cbegin(); it != widths.cend(); ++it)
        if (!it.key().isEmpty() && IsPlausible(it.value())) widths_.insert(it.key(), it.value());
}

bool UserColumnWidths::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick:
            mouseDown_ = true;
            break;
        case QEvent::MouseButtonRelease:
            mouseDown_ = false;
            if (chosenWhileDown_) {
                chosenWhileDown_ = false;
                emit WidthsChosen();
            }
            break;
        default:
            break;
    }
    return QObject::eventFilter(watched, event);
}

void UserColumnWidths::OnSectionResized(int column, int newSize) {
    if (!mouseDown_ || !IsPlausible(newSize)) return;
    const QString key = keyOf_(column);
    if (key.isEmpty()) return;
    widths_.insert(key, newSize);
    chosenWhileDown_ = true;
}

}  // namespace kestavo::ui
