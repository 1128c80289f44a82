// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/background_work.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QEventLoop>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <thread>

namespace kestavo::ui {
namespace {

// How often the user-interface thread looks whether the worker is done.
constexpr int kPollMs = 20;
// How often the progress window shows the worker's counts: ten times a
// second, without painting more than it must while the worker runs.
constexpr int kStatusMs = 100;

// Keeps every window but `allowed` from being closed while work goes on:
// closing the main window would take the catalogs from under the worker.
class CloseBlocker : public QObject {
public:
    explicit CloseBlocker(QWidget* allowed) : allowed_(allowed) { qApp->installEventFilter(this); }
    ~CloseBlocker() override { qApp->removeEventFilter(this); }
    void Allow(QWidget* widget) { allowed_ = widget; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::Close || !watched->isWidgetType()) return false;
        auto* widget = static_cast<QWidget*>(watched);
        if (!widget->isWindow() || widget == allowed_) return false;
        event->ignore();
        return true;
    }

private:
    QWidget* allowed_;
};

// Receives the worker's last word: a bare event rather than a call
// carrying captured state, so that nothing the worker wrote is read here.
class Waker : public QObject {
public:
    std::function<void()> wake;

protected:
    void customEvent(QEvent*) override {
        if (wake) wake();
    }
};

// Runs the event loop, with or without user input, until `done` answers
// true; `tick` runs at every look. While it runs, `wake` (when given) ends
// the loop at once when `done` answers true.
void LoopUntil(QEventLoop::ProcessEventsFlags flags, const std::function<bool()>& done,
               const std::function<void()>& tick = {}, std::function<void()>* wake = nullptr) {
    if (done()) return;
    QEventLoop loop;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, &loop, [&] {
        if (tick) tick();
        if (done()) loop.quit();
    });
    if (wake)
        *wake = [&] {
            if (done()) loop.quit();
        };
    timer.start(kPollMs);
    loop.exec(flags);
    if (wake) *wake = nullptr;
}

// The pieces of work running now (one inside another while a dialog of a
// work waits for more work).
int workRunning = 0;

class RunningWork {
public:
    RunningWork() { ++workRunning; }
    ~RunningWork() { --workRunning; }
    RunningWork(const RunningWork&) = delete;
    RunningWork& operator=(const RunningWork&) = delete;
};

}  // namespace

bool BackgroundWorkRunning() {
    return workRunning > 0;
}

InputHold::InputHold(QWidget* allowed) : allowed_(allowed) {
    ++workRunning;
    qApp->installEventFilter(this);
}

InputHold::~InputHold() {
    qApp->removeEventFilter(this);
    --workRunning;
}

bool InputHold::Allowed(const QObject* watched) const {
    // The allowed window, its widgets and the windows it opened.
    for (const QObject* at = watched; at; at = at->parent())
        if (at == allowed_) return true;
    return false;
}

bool InputHold::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
        case QEvent::Close:
            if (!watched->isWidgetType() || !static_cast<QWidget*>(watched)->isWindow())
                return false;
            break;
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::Wheel:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::ShortcutOverride:
        case QEvent::Shortcut:
        case QEvent::ContextMenu:
        case QEvent::TouchBegin:
        case QEvent::Drop:
            break;
        default:
            return false;
    }
    if (Allowed(watched)) return false;
    event->ignore();
    return true;
}

WorkDialog::WorkDialog(const QString& title, bool canStop, QWidget* parent) : QDialog(parent) {
    setWindowTitle(title);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setWindowModality(Qt::ApplicationModal);
    counts_ = new QLabel(this);
    counts_->setTextFormat(Qt::PlainText);
    place_ = new QLabel(this);
    place_->setTextFormat(Qt::PlainText);
    // A long path must not widen the window: it is cut in the middle.
    constexpr int kPlaceChars = 60;
    place_->setMinimumWidth(fontMetrics().averageCharWidth() * kPlaceChars);
    place_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(counts_);
    layout->addWidget(place_);
    if (canStop) {
        cancel_ = new QPushButton(QStringLiteral("Cancel"), this);
        // A Return or Space meant for another window must not stop a long
        // scan: the button is neither the default nor takes the focus, so
        // only a click on it or Escape cancels.
        cancel_->setAutoDefault(false);
        cancel_->setFocusPolicy(Qt::NoFocus);
        connect(cancel_, &QPushButton::clicked, this, &WorkDialog::reject);
        auto* buttons = new QHBoxLayout;
        buttons->addStretch(1);
        buttons->addWidget(cancel_);
        layout->addLayout(buttons);
    }
}

void WorkDialog::SetStatus(const QString& counts, const QString& place) {
    if (counts_->text() != counts) counts_->setText(counts);
    const QString shown = place_->fontMetrics().elidedText(place, Qt::ElideMiddle, place_->width());
    if (place_->text() != shown) place_->setText(shown);
}

void WorkDialog::reject() {
    if (!cancel_ || stopAsked_) return;
    stopAsked_ = true;
    cancel_->setEnabled(false);
    counts_->setText(QStringLiteral("Stopping..."));
    emit StopRequested();
}

bool RunInBackground(QWidget* parent, const BackgroundWork& job) {
    const RunningWork running;
    std::atomic<bool> done{false};
    // The worker's last act posts an event to `waker`, which ends the
    // waiting loop without waiting for its next look. `waker` outlives the
    // worker; any event still posted goes with it.
    // The event is made here, not by the worker, so that every byte the
    // receiving side reads was written by this thread; posting hands it to Qt.
    Waker waker;
    QEvent* const doneEvent = new QEvent(QEvent::User);
    std::thread worker([&] {
        job.work();
        done.store(true, std::memory_order_release);
        QCoreApplication::postEvent(&waker, doneEvent);
    });
    const auto finished = [&] { return done.load(std::memory_order_acquire); };

    CloseBlocker blocker(nullptr);
    QElapsedTimer clock;
    clock.start();
    // Short work ends before anything is shown; input waits meanwhile.
    LoopUntil(
        QEventLoop::ExcludeUserInputEvents,
        [&] { return finished() || clock.elapsed() >= job.dialogDelayMs; }, {}, &waker.wake);

    bool stopped = false;
    if (!finished()) {
        WorkDialog dialog(job.title, job.stop != nullptr, parent);
        blocker.Allow(&dialog);
        QObject::connect(&dialog, &WorkDialog::StopRequested, [&] {
            stopped = true;
            if (job.stop) job.stop->store(true);
        });
        QElapsedTimer sinceStatus;
        const auto update = [&] {
            if (!job.status || dialog.StopAsked()) return;
            if (sinceStatus.isValid() && sinceStatus.elapsed() < kStatusMs) return;
            sinceStatus.start();
            const auto [counts, place] = job.status();
            dialog.SetStatus(counts, place);
        };
        update();
        dialog.show();
        LoopUntil(QEventLoop::AllEvents, finished, update, &waker.wake);
        if (job.notice) {
            job.notice->dialogShown = true;
            // Asked before the progress window goes, which takes the focus with it.
            job.notice->inBackground = QApplication::activeWindow() == nullptr;
        }
        dialog.hide();
    }
    worker.join();
    return stopped;
}

void WaitPainting(int milliseconds) {
    QElapsedTimer clock;
    clock.start();
    LoopUntil(QEventLoop::ExcludeUserInputEvents, [&] { return clock.elapsed() >= milliseconds; });
}

}  // namespace kestavo::ui
