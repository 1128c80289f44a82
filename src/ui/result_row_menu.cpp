// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/result_row_menu.h"

#include <QAction>
#include <QEvent>
#include <QMenu>

#include "ui/commands.h"
#include "ui/context_menu.h"
#include "ui/file_launcher.h"
#include "ui/result_list.h"

namespace kestavo::ui {

ResultRowMenu::ResultRowMenu(ResultView* view, ResultListModel* model)
    : ResultRowMenu(view, [model](int row) -> std::optional<RowPlace> {
          FileData* entry = model->Entry(row);
          if (!entry || entry->IsDisk()) return std::nullopt;
          return RowPlace{media::OpenRequest(*entry)};
      }) {}

ResultRowMenu::ResultRowMenu(ResultView* view, RowPlaces places)
    : QObject(view), view_(view), places_(std::move(places)) {
    view_->installEventFilter(this);
    view_->viewport()->installEventFilter(this);
}

QMenu* ResultRowMenu::BuildContextMenu(const QPoint& pos) {
    const QModelIndex index = view_->indexAt(pos);
    if (!index.isValid() || !launcher_ || !places_(index.row())) return nullptr;
    auto* menu = new QMenu(view_);
    QAction* folder = menu->addAction(QStringLiteral("Open Containing Folder"));
    folder->setProperty(kCommandProperty, CommandNumber(Command::ID_OPEN_CONTAINING_FOLDER));
    FileLauncher* launcher = launcher_;
    // The rows may change before the menu is chosen from: the place is
    // taken again from its row.
    const int row = index.row();
    connect(folder, &QAction::triggered, this, [this, launcher, row] {
        const std::optional<RowPlace> place = places_(row);
        if (!place) return;
        if (place->gone)
            launcher->OpenFolder(place->request);
        else
            launcher->ShowInFolder(place->request);
    });
    return menu;
}

bool ResultRowMenu::eventFilter(QObject* watched, QEvent* event) {
    // Only context-menu events touch the view: others also come while it is
    // being destroyed.
    if (event->type() == QEvent::ContextMenu &&
        (watched == view_ || watched == view_->viewport()) &&
        HandleContextMenuEvent(view_, event,
                               [this](const QPoint& point) { return BuildContextMenu(point); }))
        return true;
    return QObject::eventFilter(watched, event);
}

}  // namespace kestavo::ui
