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
    : QObject(view), view_(view), model_(model) {
    view_->installEventFilter(this);
    view_->viewport()->installEventFilter(this);
}

QMenu* ResultRowMenu::BuildContextMenu(const QPoint& pos) {
    const QModelIndex index = view_->indexAt(pos);
    FileData* entry = index.isValid() ? model_->Entry(index.row()) : nullptr;
    if (!entry || entry->IsDisk() || !launcher_) return nullptr;
    auto* menu = new QMenu(view_);
    QAction* folder = menu->addAction(QStringLiteral("Open Containing Folder"));
    folder->setProperty(kCommandProperty, CommandNumber(Command::ID_OPEN_CONTAINING_FOLDER));
    FileLauncher* launcher = launcher_;
    // The rows may change before the menu is chosen from: the entry is
    // taken again from its row.
    const int row = index.row();
    ResultListModel* model = model_;
    connect(folder, &QAction::triggered, this, [launcher, model, row] {
        if (FileData* chosen = model->Entry(row)) launcher->ShowContainingFolder(*chosen);
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
