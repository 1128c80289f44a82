// SPDX-License-Identifier: GPL-3.0-or-later
// Long work (a scan, a disk read, a search) on a worker thread while the
// windows keep painting. User input is held back meanwhile, so nothing
// changes the catalogs under the worker: at first silently, and when the
// work lasts, behind a modal dialog that shows how far it has come and,
// when the work can stop, a Cancel button.
#pragma once

#include <QDialog>
#include <QString>
#include <atomic>
#include <functional>
#include <mutex>
#include <utility>

#include "ui/utf8_text.h"

class QLabel;
class QPushButton;

namespace kestavo::ui {

// The modal window shown while work goes on: a line of counts and the place
// being read, both changing as the work goes on, and Cancel when the work
// can be stopped.
class WorkDialog : public QDialog {
    Q_OBJECT
public:
    WorkDialog(const QString& title, bool canStop, QWidget* parent);

    void SetStatus(const QString& counts, const QString& place);
    // Cancel pressed: the button is disabled and the window says so.
    bool StopAsked() const { return stopAsked_; }
    QPushButton* CancelButton() const { return cancel_; }
    QLabel* CountsLabel() const { return counts_; }

signals:
    void StopRequested();

protected:
    void reject() override;  // Escape and the close box stop, as Cancel does

private:
    QLabel* counts_;
    QLabel* place_;
    QPushButton* cancel_ = nullptr;
    bool stopAsked_ = false;
};

// How a piece of work ended, for a window that tells of long work ending
// while the user is elsewhere.
struct WorkNotice {
    // The progress window was shown: the work was long.
    bool dialogShown = false;
    // When the work ended, no window of the program was active.
    bool inBackground = false;
};

struct BackgroundWork {
    QString title;
    // Runs on the worker thread.
    std::function<void()> work;
    // Asked on the user-interface thread, five times a second or more, for
    // the dialog's two lines; may be empty.
    std::function<std::pair<QString, QString>()> status;
    // Set when the user asks the work to stop; null when it cannot stop.
    std::atomic<bool>* stop = nullptr;
    // How long the work may run before its dialog appears.
    int dialogDelayMs = 300;
    // Filled in at the end when given.
    WorkNotice* notice = nullptr;
};

// How far a walk of a disk has come (folders and files counted, the folder
// being read), written by the worker and read by the progress window.
template <class Counts>
class WalkBoard {
public:
    // The walk's progress callback: keeps the counts, never stops the walk.
    bool Note(const Counts& counts) {
        std::lock_guard lock(mutex_);
        counts_ = counts;
        return true;
    }
    std::pair<QString, QString> Lines() const {
        std::lock_guard lock(mutex_);
        return {QStringLiteral("Folders: %1    Files: %2").arg(counts_.folders).arg(counts_.files),
                counts_.folder.empty() ? QStringLiteral("Starting ...")
                                       : QStringLiteral("Reading ") + FromUtf8(counts_.folder)};
    }

private:
    mutable std::mutex mutex_;
    Counts counts_;
};

// Runs `job.work` on a worker thread and returns when it has finished.
// Answers whether the user asked it to stop.
bool RunInBackground(QWidget* parent, const BackgroundWork& job);

// Whether work runs in the background now: commands that change the
// catalogs must wait.
bool BackgroundWorkRunning();

// While it lives, a window's own work reads the catalogs on a worker and
// that window stays in use: user input to every other window is held back
// and no other window can be closed, so that nothing they do changes the
// catalogs or their cached texts under the worker. Counts as background
// work running.
class InputHold : public QObject {
public:
    explicit InputHold(QWidget* allowed);
    ~InputHold() override;
    InputHold(const InputHold&) = delete;
    InputHold& operator=(const InputHold&) = delete;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool Allowed(const QObject* watched) const;
    QWidget* allowed_;
};

// Waits `milliseconds` while the windows keep painting; user input is held
// back meanwhile.
void WaitPainting(int milliseconds);

}  // namespace kestavo::ui
