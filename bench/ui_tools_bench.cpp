// SPDX-License-Identifier: GPL-3.0-or-later
// Times the tool windows on a large catalog directory, as a user sees
// them: from Find Now to the first rows painted and to all rows shown in
// Find Files, from Find Now to the rows shown in Find Duplicates,
// and Catalog New Disk through the window over a generated tree. Also the
// longest time the window went without running its event loop during each
// (the window stays painted while the work runs on a worker thread).
// Run on the offscreen platform.
//   kestavo-bench-ui-tools CATALOG_DIR [TREE]
// A CATALOG_DIR of "-" times Catalog New Disk alone.
#include <sys/resource.h>

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeView>
#include <clocale>
#include <cstdio>
#include <functional>
#include <string_view>

#include "ui/drive_dialogs.h"
#include "ui/find_duplicates_dialog.h"
#include "ui/find_files_dialog.h"
#include "ui/main_frame.h"
#include "ui/tree_pane.h"
#include "ui_bench_support.h"

using kestavo::bench::Ms;
using kestavo::bench::SilentPrompter;

namespace {

// The longest time between two turns of the event loop while it watches.
class LoopWatch {
public:
    LoopWatch() {
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            longest_ = std::max(longest_, clock_.nsecsElapsed() / 1e6);
            clock_.restart();
        });
    }
    void Start() {
        longest_ = 0;
        clock_.start();
        timer_.start(5);
    }
    double Stop() {
        // The stretch since the last turn counts too.
        longest_ = std::max(longest_, clock_.nsecsElapsed() / 1e6);
        timer_.stop();
        return longest_;
    }

private:
    QTimer timer_;
    QElapsedTimer clock_;
    double longest_ = 0;
};

double Ms(QElapsedTimer& timer) {
    return timer.nsecsElapsed() / 1e6;
}

long PeakKib() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// Times `work` until the list of `view` has been painted with its rows.
void Time(const char* what, QAbstractItemView* view, const std::function<void()>& work) {
    LoopWatch watch;
    QElapsedTimer timer;
    watch.Start();
    timer.start();
    work();
    view->viewport()->repaint();
    const double ms = Ms(timer);
    std::printf("%s: %d rows shown in %.0f ms; longest unpainted stretch %.0f ms\n", what,
                view->model()->rowCount(), ms, watch.Stop());
}

// Notes when the list is first painted with rows.
class FirstRowsPaint : public QObject {
public:
    FirstRowsPaint(QAbstractItemView* view, QElapsedTimer& clock) : view_(view), clock_(clock) {
        view_->viewport()->installEventFilter(this);
    }
    ~FirstRowsPaint() override { view_->viewport()->removeEventFilter(this); }
    double Ms() const { return ms_; }
    int Rows() const { return rows_; }

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        // Taken as the painting starts, the rows in the model.
        if (event->type() == QEvent::Paint && ms_ < 0 && view_->model()->rowCount() > 0) {
            ms_ = clock_.nsecsElapsed() / 1e6;
            rows_ = view_->model()->rowCount();
        }
        return false;
    }

private:
    QAbstractItemView* view_;
    QElapsedTimer& clock_;
    double ms_ = -1;
    int rows_ = 0;
};

// Find Now in `find`: the time to the first rows painted, and to all rows
// shown once the search has ended.
void TimeFind(const char* what, kestavo::ui::FindFilesDlg* find) {
    LoopWatch watch;
    QElapsedTimer timer;
    FirstRowsPaint first(find->ResultView(), timer);
    QEventLoop loop;
    QObject::connect(find, &kestavo::ui::FindFilesDlg::SearchEnded, &loop, &QEventLoop::quit);
    watch.Start();
    timer.start();
    find->OnFindNow();
    if (find->Searching()) loop.exec();
    find->ResultView()->viewport()->repaint();
    const double ms = Ms(timer);
    std::printf(
        "%s: first rows painted in %.0f ms (%d rows); %d rows shown in %.0f ms; longest "
        "unpainted stretch %.0f ms\n",
        what, first.Ms(), first.Rows(), find->Results()->rowCount(), ms, watch.Stop());
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    std::setlocale(LC_ALL, "");
    if (argc < 2) {
        std::fprintf(stderr, "usage: kestavo-bench-ui-tools CATALOG_DIR [TREE]\n");
        return 2;
    }
    using namespace kestavo::ui;
    qputenv("Kestavo", argv[1]);
    SilentPrompter prompter;
    CKestavo2Doc doc;
    CMainFrame frame(doc, &prompter);
    frame.resize(1000, 700);
    frame.show();
    QApplication::processEvents();
    const bool searches = std::string_view(argv[1]) != "-";
    if (searches) {
        frame.Action(kestavo::ui::Command::ID_OPEN_ALL_CATALOGS)->trigger();
        QApplication::processEvents();
        std::printf("loaded %zu entries\n", doc.Catalogs().EntryCount());
    }

    if (searches) {
        auto* find = new FindFilesDlg(doc.Catalogs(), frame.Tree()->RootItem(), prompter, &frame);
        find->show();
        QApplication::processEvents();
        for (const char* mask : {"*.JPG", "*", "IMG_1234.JPG"}) {
            find->MaskBox()->setText(QString::fromLatin1(mask));
            const std::string label = std::string("Find Files ") + mask;
            TimeFind(label.c_str(), find);
        }
        find->close();
        QApplication::processEvents();

        {
            FindDuplicatesDlg duplicates(doc.Catalogs(), frame.Tree()->RootItem(), prompter,
                                         &frame);
            duplicates.show();
            QApplication::processEvents();
            Time("Find Duplicates, all criteria", duplicates.ResultView(),
                 [&] { duplicates.OnFindNow(); });
        }
    }

    if (argc >= 3) {
        // Catalog New Disk through the window, the drive choice answered at once.
        qputenv("KESTAVO_DRIVES", QByteArray("E:|removable|BENCHTREE|") + argv[2]);
        // The new catalog goes to a folder of its own, not among the benchmark's.
        QTemporaryDir catalogs;
        qputenv("Kestavo", catalogs.path().toUtf8());
        QTimer answer;
        QObject::connect(&answer, &QTimer::timeout, [] {
            if (auto* selection = qobject_cast<DriveSelection*>(QApplication::activeModalWidget()))
                selection->accept();
        });
        answer.start(1);
        const long before = PeakKib();
        LoopWatch watch;
        QElapsedTimer timer;
        watch.Start();
        timer.start();
        frame.Action(kestavo::ui::Command::ID_CATALOG_NEW_DISK)->trigger();
        const double ms = Ms(timer);
        std::printf(
            "Catalog New Disk through the window: %.0f ms; longest unpainted stretch %.0f ms; "
            "peak memory %.1f -> %.1f MiB\n",
            ms, watch.Stop(), before / 1024.0, PeakKib() / 1024.0);
    }
    return 0;
}
