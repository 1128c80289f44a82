// SPDX-License-Identifier: GPL-3.0-or-later
// The main window: menus, toolbar, status bar with date and time, and the
// two panes side by side.
#pragma once

#include <QMainWindow>
#include <QMap>
#include <memory>

#include "media/drive_map.h"
#include "ui/command_source.h"
#include "ui/kestavo_doc.h"
#include "ui/prompter.h"

class QLabel;
class QSplitter;
class QTimer;
class QToolBar;

namespace kestavo::ui {

class CommandHandlers;
class DesktopNotifier;
class DiskOfferBar;
class DriveWatch;
class FileLauncher;
class ListPane;
class LockStateReader;
class TreePane;

class CMainFrame : public QMainWindow, public CommandSource {
    Q_OBJECT
public:
    // `prompter` answers messages and file choices; null means dialogs.
    explicit CMainFrame(CKestavo2Doc& doc, Prompter* prompter = nullptr, QWidget* parent = nullptr);
    ~CMainFrame() override;

    QAction* Action(Command command) override;
    TreePane* Tree() const { return tree_; }
    CommandHandlers* Handlers() const { return handlers_; }
    FileLauncher* Launcher() const { return launcher_.get(); }
    ListPane* List() const { return list_; }
    QToolBar* ToolBar() const { return toolBar_; }
    QSplitter* Splitter() const { return splitter_; }
    DriveWatch* Watch() const { return watch_; }
    DiskOfferBar* Offers() const { return offers_; }
    DesktopNotifier* Notifier() const { return notifier_; }
    // Status bar panes: 0 message, 1 CAP, 2 NUM, 3 SCRL, 4 date, 5 time.
    QLabel* StatusPane(int index) const;

    void OnUpdateDatePane();
    void OnUpdateTimePane();
    void OnHelpTopics();
    void OnQuickHelp();
    void OnAppAbout();
    // Loads each file as Open Selected Catalog loads the file chosen.
    void OpenCatalogFiles(const QStringList& files);
    // Brings the window to the front, out of the task bar when minimised.
    void BringToFront();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    QAction* AddAction(Command command, const QString& text, const QString& prompt = {},
                       const QKeySequence& shortcut = {});
    void BuildActions();
    void BuildMenus();
    void BuildToolBar();
    void BuildStatusBar();
    void UpdateLockPanes();
    void SetPaneText(QLabel* pane, const QString& text);
    void FocusOtherPane();
    // The window, its bars, the splitter and the list's column widths as the
    // last run left them.
    void RestoreRememberedState();
    // The bar of disk offers above the panes, fed by the drive watch.
    QWidget* WatchDisks(QWidget* panes);
    // The offer of a disk just mounted, as a desktop notification.
    void NotifyOffer(const media::Drive& drive);
    // A button of the offer's notification: what the bar's button does, once
    // the window is in front. While work runs or a dialog waits for an
    // answer, only the window comes: the offer stays in the bar.
    void TakeOffer(const media::Drive& drive, int choice);

    CKestavo2Doc& doc_;
    std::unique_ptr<Prompter> ownPrompter_;
    Prompter& prompter_;
    QMap<Command, QAction*> actions_;
    QSplitter* splitter_;
    ListPane* list_;
    TreePane* tree_;
    CommandHandlers* handlers_;
    std::unique_ptr<FileLauncher> launcher_;
    QToolBar* toolBar_ = nullptr;
    QList<QLabel*> panes_;
    QTimer* clock_;
    std::unique_ptr<LockStateReader> lockState_;
    DriveWatch* watch_ = nullptr;
    DiskOfferBar* offers_ = nullptr;
    DesktopNotifier* notifier_ = nullptr;
};

}  // namespace kestavo::ui
