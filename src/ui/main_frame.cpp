// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/main_frame.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDateTime>
#include <QDesktopServices>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QMenuBar>
#include <QSplitter>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QTreeView>
#include <QUrl>
#include <QVBoxLayout>
#include <ctime>

#include "media/volume_info.h"
#include "ui/background_work.h"
#include "ui/command_handlers.h"
#include "ui/desktop_notifier.h"
#include "ui/disk_offer_bar.h"
#include "ui/drive_watch.h"
#include "ui/file_launcher.h"
#include "ui/help_dialogs.h"
#include "ui/list_pane.h"
#include "ui/lock_state.h"
#include "ui/pictures.h"
#include "ui/remembered_state.h"
#include "ui/tree_pane.h"
#include "ui/utf8_text.h"
#include "ui/window_size.h"

namespace kestavo::ui {
namespace {

// The window's size on its first run, and the panes' widths in it; either
// pane can be made as narrow as this and no narrower.
constexpr QSize kFirstSize(800, 560);
constexpr int kFirstTreeWidth = 275;
constexpr int kFirstListWidth = 400;
constexpr int kLeastPaneWidth = 10;
// The toolbar's pictures as they are drawn.
constexpr QSize kToolbarPictureSize(16, 15);

// Names the notification of a disk's offer.
QString OfferTag(const media::Drive& drive) {
    return QStringLiteral("offer\n") + FromUtf8(drive.directory) + QLatin1Char('\n') +
           FromUtf8(drive.label);
}

QString Strftime(const char* format) {
    const std::time_t now = std::time(nullptr);
    std::tm tm{};
    localtime_r(&now, &tm);
    char buffer[128];
    return QString::fromLocal8Bit(
        buffer, static_cast<qsizetype>(std::strftime(buffer, sizeof buffer, format, &tm)));
}

}  // namespace

CMainFrame::CMainFrame(CKestavo2Doc& doc, Prompter* prompter, QWidget* parent)
    : QMainWindow(parent),
      doc_(doc),
      ownPrompter_(prompter ? nullptr : std::make_unique<DialogPrompter>(this)),
      prompter_(prompter ? *prompter : *ownPrompter_),
      splitter_(new QSplitter(Qt::Horizontal, this)),
      clock_(new QTimer(this)),
      lockState_(std::make_unique<LockStateReader>()) {
    setWindowTitle(doc_.Title() + QStringLiteral(" - Disk Catalogs"));
    setWindowIcon(ApplicationIcon());
    BuildActions();
    list_ = new ListPane(doc_.Shown(), splitter_);
    tree_ = new TreePane(doc_.Catalogs(), doc_.Shown(), *list_, *this, prompter_, splitter_);
    handlers_ = new CommandHandlers(doc_.Catalogs(), doc_.Shown(), *tree_, *list_, prompter_, this);
    launcher_ = std::make_unique<FileLauncher>(
        prompter_, [this] { handlers_->EjectRemovableDisks(); }, this);
    list_->SetLauncher(launcher_.get());
    splitter_->addWidget(tree_);
    splitter_->addWidget(list_);
    splitter_->setChildrenCollapsible(false);
    splitter_->setAccessibleName(QStringLiteral("Catalogs"));
    tree_->setMinimumWidth(kLeastPaneWidth);
    list_->setMinimumWidth(kLeastPaneWidth);
    // The list takes what the window gains.
    splitter_->setStretchFactor(/*index=*/1, /*stretch=*/1);
    splitter_->setSizes({kFirstTreeWidth, kFirstListWidth});
    setCentralWidget(WatchDisks(splitter_));
    BuildMenus();
    BuildToolBar();
    BuildStatusBar();
    ResizeToFirstSize(this, kFirstSize);

    connect(Action(Command::ID_OPEN_ALL_CATALOGS), &QAction::triggered, handlers_,
            &CommandHandlers::OnOpenAllCatalogs);
    connect(Action(Command::ID_OPEN_SELECTED_CATALOG), &QAction::triggered, handlers_,
            &CommandHandlers::OnOpenSelectedCatalog);
    connect(Action(Command::ID_VIEW_OPTIONS), &QAction::triggered, handlers_,
            &CommandHandlers::OnViewOptions);
    connect(Action(Command::ID_CATALOG_NEW_DISK), &QAction::triggered, handlers_,
            &CommandHandlers::OnCatalogNewDisk);
    connect(Action(Command::ID_FIND_FILES_TOOLBAR), &QAction::triggered, handlers_,
            &CommandHandlers::OnFindFiles);
    connect(Action(Command::ID_FIND_FILE_CONTEXT), &QAction::triggered, handlers_,
            &CommandHandlers::OnFindFiles);
    connect(Action(Command::ID_FIND_FILES_ALL), &QAction::triggered, handlers_,
            &CommandHandlers::OnFindFilesAll);
    connect(Action(Command::ID_FIND_DUPLICATES_CONTEXT), &QAction::triggered, handlers_,
            &CommandHandlers::OnFindDuplicates);
    connect(Action(Command::ID_FIND_DUPLICATES_ALL), &QAction::triggered, handlers_,
            &CommandHandlers::OnFindDuplicatesAll);
    connect(Action(Command::ID_COMPARE_DISK), &QAction::triggered, handlers_,
            &CommandHandlers::OnCompareDisk);
    connect(Action(Command::ID_EJECT_REMOVABLE), &QAction::triggered, handlers_,
            &CommandHandlers::EjectRemovableDisks);
    connect(tree_, &TreePane::OpenRequested, handlers_, &CommandHandlers::OnOpenEntry);
    connect(tree_, &TreePane::OpenContainingFolderRequested, handlers_,
            &CommandHandlers::OnOpenContainingFolder);
    connect(tree_, &TreePane::PropertiesRequested, handlers_, &CommandHandlers::OnProperties);
    connect(Action(Command::ID_HELP_TOPICS), &QAction::triggered, this, &CMainFrame::OnHelpTopics);
    connect(Action(Command::ID_QUICK_HELP), &QAction::triggered, this, &CMainFrame::OnQuickHelp);
    connect(Action(Command::ID_APP_ABOUT), &QAction::triggered, this, &CMainFrame::OnAppAbout);
    connect(Action(Command::ID_APP_EXIT), &QAction::triggered, this, &QWidget::close);
    if (RememberedState::Enabled()) RestoreRememberedState();
}

CMainFrame::~CMainFrame() = default;

QAction* CMainFrame::AddAction(Command command, const QString& text, const QString& prompt,
                               const QKeySequence& shortcut) {
    auto* action = new QAction(text, this);
    action->setProperty(kCommandProperty, CommandNumber(command));
    if (!prompt.isEmpty()) action->setStatusTip(prompt);
    if (!shortcut.isEmpty()) action->setShortcut(shortcut);
    actions_.insert(command, action);
    return action;
}

QAction* CMainFrame::Action(Command command) {
    return actions_.value(command, nullptr);
}

void CMainFrame::BuildActions() {
    AddAction(Command::ID_OPEN_ALL_CATALOGS, QStringLiteral("Open &All Catalogs"),
              QStringLiteral("Open All Catalogs"), QKeySequence(Qt::CTRL | Qt::Key_A))
        ->setToolTip(QStringLiteral("Open All Catalogs"));
    AddAction(Command::ID_OPEN_SELECTED_CATALOG, QStringLiteral("&Open Selected Catalog..."),
              QStringLiteral("Open a single, existing catalog"), QKeySequence(Qt::CTRL | Qt::Key_O))
        ->setToolTip(QStringLiteral("Open One Catalog"));
    AddAction(Command::ID_CATALOG_NEW_DISK, QStringLiteral("Catalog &New Disk..."),
              QStringLiteral("Catalog a new disk"), QKeySequence(Qt::CTRL | Qt::Key_N))
        ->setToolTip(QStringLiteral("New Catalog"));
    AddAction(Command::ID_APP_EXIT, QStringLiteral("E&xit"),
              QStringLiteral("Quit the application; prompts to save documents"));
    AddAction(Command::ID_VIEW_TOOLBAR, QStringLiteral("&Toolbar"),
              QStringLiteral("Show or hide the toolbar"));
    AddAction(Command::ID_VIEW_STATUS_BAR, QStringLiteral("&Status Bar"),
              QStringLiteral("Show or hide the status bar"));
    AddAction(Command::ID_VIEW_OPTIONS, QStringLiteral("&Options ..."),
              QStringLiteral("Change Viewing options"));
    AddAction(Command::ID_FIND_FILES_ALL, QStringLiteral("&Find Files or Folders ..."));
    AddAction(Command::ID_FIND_DUPLICATES_ALL, QStringLiteral("Find &Duplicate Files ..."));
    AddAction(Command::ID_COMPARE_DISK, QStringLiteral("&Compare Disk/Catalog ..."));
    AddAction(Command::ID_EJECT_REMOVABLE, QStringLiteral("&Eject Removable Disks"));
    AddAction(Command::ID_HELP_TOPICS, QStringLiteral("&Help Topics"));
    AddAction(Command::ID_QUICK_HELP, QStringLiteral("Quick &Help ..."));
    AddAction(Command::ID_APP_ABOUT, QStringLiteral("&About Kestavo ..."),
              QStringLiteral("Display program information"))
        ->setToolTip(QStringLiteral("About"));
    AddAction(Command::ID_FIND_FILES_TOOLBAR, QStringLiteral("Find Files"),
              QStringLiteral("Find Files or Folders"))
        ->setToolTip(QStringLiteral("Find Files"));
    AddAction(Command::ID_FIND_FILE_CONTEXT, QStringLiteral("Find File ..."));
    AddAction(Command::ID_FIND_DUPLICATES_CONTEXT, QStringLiteral("Find Duplicate Files ..."));

    // F6 and Shift+F6 move the focus between the two panes.
    for (const QKeySequence& keys :
         {QKeySequence(Qt::Key_F6), QKeySequence(Qt::SHIFT | Qt::Key_F6)}) {
        auto* pane = new QAction(this);
        pane->setShortcut(keys);
        connect(pane, &QAction::triggered, this, &CMainFrame::FocusOtherPane);
        addAction(pane);
    }
}

void CMainFrame::BuildMenus() {
    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
    file->addAction(Action(Command::ID_OPEN_ALL_CATALOGS));
    file->addAction(Action(Command::ID_OPEN_SELECTED_CATALOG));
    file->addAction(Action(Command::ID_CATALOG_NEW_DISK));
    file->addSeparator();
    file->addAction(Action(Command::ID_APP_EXIT));

    QMenu* view = menuBar()->addMenu(QStringLiteral("&View"));
    view->addAction(Action(Command::ID_VIEW_TOOLBAR));
    view->addAction(Action(Command::ID_VIEW_STATUS_BAR));
    view->addAction(Action(Command::ID_VIEW_OPTIONS));

    QMenu* tools = menuBar()->addMenu(QStringLiteral("Tools"));
    tools->addAction(Action(Command::ID_FIND_FILES_ALL));
    tools->addAction(Action(Command::ID_FIND_DUPLICATES_ALL));
    tools->addAction(Action(Command::ID_COMPARE_DISK));
    tools->addAction(Action(Command::ID_EJECT_REMOVABLE));

    QMenu* help = menuBar()->addMenu(QStringLiteral("&Help"));
    help->addAction(Action(Command::ID_HELP_TOPICS));
    help->addAction(Action(Command::ID_QUICK_HELP));
    help->addAction(Action(Command::ID_APP_ABOUT));
}

void CMainFrame::BuildToolBar() {
    toolBar_ = addToolBar(QStringLiteral("Toolbar"));
    toolBar_->setObjectName(QStringLiteral("toolbar"));
    toolBar_->setIconSize(kToolbarPictureSize);
    toolBar_->setAllowedAreas(Qt::AllToolBarAreas);
    Action(Command::ID_OPEN_ALL_CATALOGS)->setIcon(ToolbarPicture("open_all"));
    Action(Command::ID_CATALOG_NEW_DISK)->setIcon(ToolbarPicture("new_catalog"));
    Action(Command::ID_OPEN_SELECTED_CATALOG)->setIcon(ToolbarPicture("open_one"));
    Action(Command::ID_FIND_FILES_TOOLBAR)->setIcon(ToolbarPicture("find_files"));
    Action(Command::ID_APP_ABOUT)->setIcon(ToolbarPicture("about"));
    toolBar_->addAction(Action(Command::ID_OPEN_ALL_CATALOGS));
    toolBar_->addAction(Action(Command::ID_CATALOG_NEW_DISK));
    toolBar_->addAction(Action(Command::ID_OPEN_SELECTED_CATALOG));
    toolBar_->addSeparator();
    toolBar_->addAction(Action(Command::ID_FIND_FILES_TOOLBAR));
    toolBar_->addAction(Action(Command::ID_APP_ABOUT));

    QAction* showToolBar = Action(Command::ID_VIEW_TOOLBAR);
    showToolBar->setCheckable(true);
    showToolBar->setChecked(true);
    connect(showToolBar, &QAction::toggled, toolBar_, &QWidget::setVisible);
    connect(toolBar_, &QToolBar::visibilityChanged, showToolBar, &QAction::setChecked);
}

void CMainFrame::BuildStatusBar() {
    QStatusBar* bar = statusBar();
    auto* message = new QLabel(QStringLiteral("Ready"), bar);
    bar->addWidget(message, 1);
    panes_.push_back(message);
    for (const char* text : {"CAP", "NUM", "SCRL", "Date", "Time"}) {
        auto* pane = new QLabel(QString::fromLatin1(text), bar);
        pane->setAlignment(Qt::AlignCenter);
        bar->addPermanentWidget(pane);
        panes_.push_back(pane);
    }
    QAction* showStatus = Action(Command::ID_VIEW_STATUS_BAR);
    showStatus->setCheckable(true);
    showStatus->setChecked(true);
    connect(showStatus, &QAction::toggled, bar, &QWidget::setVisible);

    UpdateLockPanes();
    OnUpdateDatePane();
    OnUpdateTimePane();
    connect(clock_, &QTimer::timeout, this, [this] {
        UpdateLockPanes();
        OnUpdateDatePane();
        OnUpdateTimePane();
    });
    clock_->start(1000);
}

QLabel* CMainFrame::StatusPane(int index) const {
    return index >= 0 && index < panes_.size() ? panes_[index] : nullptr;
}

void CMainFrame::SetPaneText(QLabel* pane, const QString& text) {
    // The pane is exactly as wide as its text.
    pane->setText(text);
    pane->setFixedWidth(pane->fontMetrics().horizontalAdvance(text) + 2 * pane->margin() + 6);
    pane->setEnabled(true);
}

void CMainFrame::OnUpdateDatePane() {
    SetPaneText(panes_[4], Strftime("%x"));
}

void CMainFrame::OnUpdateTimePane() {
    SetPaneText(panes_[5], Strftime("%X"));
}

void CMainFrame::UpdateLockPanes() {
    const LockState locks = lockState_->Read();
    panes_[1]->setEnabled(locks.caps);
    panes_[2]->setEnabled(locks.num);
    panes_[3]->setEnabled(locks.scroll);
}

QWidget* CMainFrame::WatchDisks(QWidget* panes) {
    watch_ = new DriveWatch(media::WatchMounts(), this);
    offers_ = new DiskOfferBar(doc_.Catalogs(), this);
    connect(watch_, &DriveWatch::DiskMounted, offers_, &DiskOfferBar::Offer);
    connect(watch_, &DriveWatch::DiskUnmounted, offers_, &DiskOfferBar::Withdraw);
    // Where the user is elsewhere, the desktop tells of the offer too; the
    // notification goes with the offer.
    notifier_ = new DesktopNotifier(this);
    handlers_->SetNotifier(notifier_);
    connect(watch_, &DriveWatch::DiskMounted, this, [this](const media::Drive& drive) {
        if (!isActiveWindow()) NotifyOffer(drive);
    });
    connect(offers_, &DiskOfferBar::OfferRemoved, notifier_,
            [this](const media::Drive& drive) { notifier_->Withdraw(OfferTag(drive)); });
    // The drive letters may have moved since the offer was made.
    const auto entryOf = [this](const media::Drive& offered) {
        for (const media::Drive& drive : watch_->Drives().Drives())
            if (drive.directory == offered.directory && drive.label == offered.label)
                return media::DriveEntryText(drive);
        return media::DriveEntryText(offered);
    };
    connect(offers_, &DiskOfferBar::CompareAsked, this, [this, entryOf](const media::Drive& drive) {
        handlers_->CompareDiskOn(entryOf(drive));
    });
    connect(offers_, &DiskOfferBar::CatalogAsked, this, [this, entryOf](const media::Drive& drive) {
        handlers_->CatalogNewDiskOn(entryOf(drive));
    });

    auto* centre = new QWidget(this);
    auto* layout = new QVBoxLayout(centre);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(offers_);
    layout->addWidget(panes, 1);
    return centre;
}

void CMainFrame::NotifyOffer(const media::Drive& drive) {
    const bool hasCatalog = offers_->HasCatalog(drive);
    Notification notification;
    notification.tag = OfferTag(drive);
    notification.summary = FromUtf8(OfferText(drive, hasCatalog));
    notification.actions.push_back(
        {QStringLiteral("default"), QStringLiteral("Show"), [this] { BringToFront(); }});
    for (const OfferButton& button : OfferButtons(hasCatalog))
        notification.actions.push_back({QString::fromLatin1(button.name),
                                        QString::fromLatin1(button.label),
                                        [this, drive, choice = static_cast<int>(button.choice)] {
                                            TakeOffer(drive, choice);
                                        }});
    notifier_->Send(notification);
}

void CMainFrame::TakeOffer(const media::Drive& drive, int choice) {
    BringToFront();
    if (BackgroundWorkRunning() || QApplication::activeModalWidget()) return;
    offers_->Choose(drive, static_cast<OfferChoice>(choice));
}

void CMainFrame::FocusOtherPane() {
    if (tree_->isAncestorOf(QApplication::focusWidget()))
        list_->View()->setFocus();
    else
        tree_->View()->setFocus();
}

void CMainFrame::OnHelpTopics() {
    const QString path = HelpFilePath();
    if (QFileInfo::exists(path) &&
        QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath())))
        return;
    Message m;
    m.caption = "Could not launch help file";
    m.text = "Cannot find or launch help file:\n" + path.toStdString();
    m.icon = MessageIcon::Exclamation;
    prompter_.Show(m);
}

void CMainFrame::OnQuickHelp() {
    HelpDialog dialog(this);
    dialog.exec();
}

void CMainFrame::OnAppAbout() {
    CAboutDlg dialog(this);
    dialog.exec();
}

void CMainFrame::RestoreRememberedState() {
    RememberedState state;
    state.RestoreWindow(*this, *splitter_);
    Action(Command::ID_VIEW_TOOLBAR)->setChecked(!toolBar_->isHidden());
    Action(Command::ID_VIEW_STATUS_BAR)->setChecked(!statusBar()->isHidden());
    list_->UseColumnWidths(state.ColumnWidths(QStringLiteral("list")));
    RememberChosenWidths(*list_->ColumnMemory(), QStringLiteral("list"));
    list_->UseSorting(state.Sorting(QStringLiteral("list")));
    connect(list_, &ListPane::SortChosen, this, [](const ListSort& sort) {
        RememberedState().SaveSorting(QStringLiteral("list"), sort);
    });
}

void CMainFrame::closeEvent(QCloseEvent* event) {
    if (RememberedState::Enabled()) {
        RememberedState state;
        state.SaveWindow(*this, *splitter_);
    }
    QMainWindow::closeEvent(event);
}

void CMainFrame::OpenCatalogFiles(const QStringList& files) {
    for (const QString& file : files) handlers_->LoadSelectedCatalog(file);
}

void CMainFrame::BringToFront() {
    BringWindowToFront(this);
}

}  // namespace kestavo::ui
