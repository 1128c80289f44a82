// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/list_pane.h"

#include <QAction>
#include <QHeaderView>
#include <QMenu>
#include <QTreeView>
#include <QVBoxLayout>

#include "catalog/properties.h"
#include "ui/column_memory.h"
#include "ui/column_widths.h"
#include "ui/commands.h"
#include "ui/context_menu.h"
#include "ui/file_launcher.h"
#include "ui/properties_dialog.h"

namespace kestavo::ui {

ListPane::ListPane(ShownContents& shown, QWidget* parent)
    : QWidget(parent),
      shown_(shown),
      view_(new QTreeView(this)),
      model_(new EntryListModel(this)),
      userWidths_(
          new UserColumnWidths(view_->header(), [this](int column) { return ColumnKey(column); })) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(view_);
    view_->setModel(model_);
    view_->setRootIsDecorated(false);
    view_->setAccessibleName(QStringLiteral("Contents"));
    view_->setUniformRowHeights(true);
    view_->setItemsExpandable(false);
    view_->setAllColumnsShowFocus(true);
    view_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    view_->setDragEnabled(true);
    view_->setDragDropMode(QAbstractItemView::DragOnly);
    view_->setDefaultDropAction(Qt::CopyAction);
    view_->installEventFilter(this);
    view_->viewport()->installEventFilter(this);
    view_->header()->setSectionsClickable(true);
    view_->header()->setSortIndicatorShown(false);
    view_->header()->setStretchLastSection(false);
    connect(view_->header(), &QHeaderView::sectionClicked, this, &ListPane::OnColumnClick);
    connect(view_, &QTreeView::doubleClicked, this, &ListPane::OnDoubleClick);
    ShowCutTextsAsTips(view_);
    model_->SetCharWidths(CharWidths::Of(view_->fontMetrics()));
    ShowFileColumns();
    shown_.SetListener(this);
}

ListPane::~ListPane() {
    shown_.SetListener(nullptr);
}

void ListPane::RowsCleared() {
    model_->Clear();
    contextRow_ = -1;
}

void ListPane::RowsRead() {
    model_->Clear();
    if (shown_.ListsDisks())
        ShowDiskColumns();
    else
        ShowFileColumns();
    model_->SetRows(shown_.RowsInInitialOrder());
    SortAsRemembered();
    FitColumnsToRows();
    contextRow_ = -1;
}

void ListPane::FitColumnsToRows() {
    model_->MeasureWidest();
    QStyleOptionViewItem option;
    option.initFrom(view_);
    option.font = view_->font();
    option.fontMetrics = view_->fontMetrics();
    option.features = QStyleOptionViewItem::HasDisplay;
    FitColumns(*view_, *view_->header(), *userWidths_, option, *model_);
}

QString ListPane::ColumnKey(int column) const {
    const auto& shown = model_->ListColumns();
    if (column < 0 || column >= static_cast<int>(shown.size())) return {};
    return (diskList_ ? QStringLiteral("disks/") : QStringLiteral("files/")) +
           QString::fromUtf8(shown[static_cast<std::size_t>(column)].heading);
}

void ListPane::UseColumnWidths(const QHash<QString, int>& widths) {
    userWidths_->SetWidths(widths);
    const int columns = static_cast<int>(model_->ListColumns().size());
    for (int column = 0; column < columns; ++column)
        if (const std::optional<int> width = userWidths_->Width(column))
            view_->header()->resizeSection(column, *width);
}

void ListPane::UseSorting(const std::optional<ListSort>& sort) {
    rememberedSort_ = sort;
    if (sort) sortDescending_ = !sort->descending;
}

void ListPane::SortAsRemembered() {
    if (!rememberedSort_ || model_->rowCount() == 0) return;
    const int columns = static_cast<int>(model_->ListColumns().size());
    for (int column = 0; column < columns; ++column)
        if (ColumnKey(column) == rememberedSort_->column) {
            model_->SortByColumn(column, rememberedSort_->descending);
            rememberedSort_.reset();
            return;
        }
}

void ListPane::ApplyColumns(std::vector<ListColumn> columns, bool diskList) {
    diskList_ = diskList;
    model_->SetColumns(std::move(columns), diskList);
    FitColumnsToRows();
}

void ListPane::ShowFileColumns() {
    if (fileColumnsShown_) return;
    ApplyColumns(FileColumns(), /*diskList=*/false);
    fileColumnsShown_ = true;
}

void ListPane::ShowDiskColumns() {
    if (!fileColumnsShown_) return;
    ApplyColumns(DiskColumns(switches_), /*diskList=*/true);
    fileColumnsShown_ = false;
}

void ListPane::SetDiskColumns(const DiskColumnSwitches& switches) {
    switches_ = switches;
    fileColumnsShown_ = true;
    ShowDiskColumns();
}

void ListPane::OnColumnClick(int column) {
    if (column < 0 || column >= static_cast<int>(model_->ListColumns().size())) return;
    const bool descending = sortDescending_;
    model_->SortByColumn(column, descending);
    sortDescending_ = !sortDescending_;
    rememberedSort_.reset();
    emit SortChosen({ColumnKey(column), descending});
}

void ListPane::OnDoubleClick(const QModelIndex& index) {
    const QModelIndexList selected = view_->selectionModel()->selectedRows();
    const int row = selected.isEmpty() ? index.row() : selected.front().row();
    FileData* entry = model_->EntryAt(row);
    if (!entry) return;
    if (entry->IsContainer()) {
        emit FolderRequested(entry);
        return;
    }
    contextRow_ = row;
    OnOpen();
}

void ListPane::OnOpen() {
    if (FileData* entry = model_->EntryAt(contextRow_)) LaunchEntry(*entry);
}

void ListPane::OnSendToNotepad() {
    FileData* entry = model_->EntryAt(contextRow_);
    if (entry && launcher_) launcher_->SendToNotepad(*entry);
}

void ListPane::LaunchEntry(FileData& entry) {
    if (launcher_) launcher_->Open(entry);
}

void ListPane::OnOpenContainingFolder() {
    if (FileData* entry = model_->EntryAt(contextRow_)) ShowEntryInFolder(*entry);
}

void ListPane::ShowEntryInFolder(FileData& entry) {
    if (launcher_) launcher_->ShowContainingFolder(entry);
}

QMenu* ListPane::BuildContextMenu(const QPoint& pos) {
    const QModelIndex index = view_->indexAt(pos);
    contextRow_ = index.isValid() ? index.row() : -1;
    FileData* entry = model_->EntryAt(contextRow_);
    if (!entry) return nullptr;
    auto* menu = new QMenu(this);
    if (!entry->IsDisk()) {
        QAction* open = menu->addAction(QStringLiteral("Open"));
        open->setProperty(kCommandProperty, CommandNumber(Command::ID_OPEN_ENTRY));
        connect(open, &QAction::triggered, this, &ListPane::OnOpen);
    }
    if (!entry->IsContainer()) {
        QAction* notepad = menu->addAction(QStringLiteral("Send To Notepad"));
        notepad->setProperty(kCommandProperty, CommandNumber(Command::ID_SEND_TO_NOTEPAD));
        connect(notepad, &QAction::triggered, this, &ListPane::OnSendToNotepad);
    }
    if (!entry->IsDisk()) {
        QAction* folder = menu->addAction(QStringLiteral("Open Containing Folder"));
        folder->setProperty(kCommandProperty, CommandNumber(Command::ID_OPEN_CONTAINING_FOLDER));
        connect(folder, &QAction::triggered, this, &ListPane::OnOpenContainingFolder);
    }
    if (!menu->isEmpty()) menu->addSeparator();
    QAction* properties = menu->addAction(QStringLiteral("Properties"));
    properties->setProperty(kCommandProperty, CommandNumber(Command::ID_PROPERTIES));
    connect(properties, &QAction::triggered, this, &ListPane::OnProperties);
    return menu;
}

bool ListPane::eventFilter(QObject* watched, QEvent* event) {
    if ((watched == view_ || watched == view_->viewport()) &&
        HandleContextMenuEvent(view_, event,
                               [this](const QPoint& point) { return BuildContextMenu(point); }))
        return true;
    return QWidget::eventFilter(watched, event);
}

void ListPane::OnProperties() {
    FileData* entry = model_->EntryAt(contextRow_);
    if (!entry) return;
    PropertiesDialog dialog(PropertiesOfEntry(*entry), this);
    dialog.exec();
}

}  // namespace kestavo::ui
