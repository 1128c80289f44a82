// SPDX-License-Identifier: GPL-3.0-or-later
// Times the desktop program's window on a large catalog directory: Open All
// from the menu command, listing the largest folder, and sorting it by a
// header click. Run on the offscreen platform.
//   kestavo-bench-ui DIR
#include <sys/resource.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QTreeView>
#include <clocale>
#include <cstdio>

#include "ui/list_pane.h"
#include "ui/main_frame.h"
#include "ui/tree_pane.h"
#include "ui_bench_support.h"

using kestavo::bench::Ms;
using kestavo::bench::SilentPrompter;

namespace {

// The folder with the most entries filed directly under it.
kestavo::TreeItem LargestFolder(kestavo::CatalogSet& set) {
    kestavo::TreeItem best = kestavo::kNoItem;
    std::size_t bestCount = 0;
    std::vector<kestavo::TreeItem> pending{set.RootItem()};
    while (!pending.empty()) {
        const kestavo::TreeItem item = pending.back();
        pending.pop_back();
        std::size_t count = 0;
        set.ForEachEntryUnder(item, [&](kestavo::FileData&) { ++count; });
        if (count > bestCount && item != set.RootItem()) {
            bestCount = count;
            best = item;
        }
        for (kestavo::TreeItem child : set.Tree().Children(item)) pending.push_back(child);
    }
    return best;
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    std::setlocale(LC_ALL, "");
    if (argc < 2) {
        std::fprintf(stderr, "usage: kestavo-bench-ui DIR\n");
        return 2;
    }
    qputenv("Kestavo", argv[1]);
    SilentPrompter prompter;
    kestavo::ui::CKestavo2Doc doc;
    kestavo::ui::CMainFrame frame(doc, &prompter);
    frame.resize(1000, 700);
    frame.show();
    QApplication::processEvents();

    QElapsedTimer timer;
    timer.start();
    frame.Action(kestavo::ui::Command::ID_OPEN_ALL_CATALOGS)->trigger();
    QApplication::processEvents();
    const double openMs = Ms(timer);
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("window open all: %zu entries in %.0f ms, peak resident memory %.1f MiB\n",
                doc.Catalogs().EntryCount(), openMs, usage.ru_maxrss / 1024.0);

    const kestavo::TreeItem folder = LargestFolder(doc.Catalogs());
    timer.restart();
    frame.Tree()->SelectItem(folder);
    frame.List()->View()->viewport()->repaint();
    QApplication::processEvents();
    std::printf("select folder of %d rows: %.0f ms\n", frame.List()->Model()->rowCount(),
                Ms(timer));

    for (int column : {1, 2, 0}) {
        timer.restart();
        frame.List()->OnColumnClick(column);
        frame.List()->View()->viewport()->repaint();
        QApplication::processEvents();
        std::printf("header click on column %d: %.0f ms\n", column, Ms(timer));
    }

    timer.restart();
    QTreeView* tree = frame.Tree()->View();
    const QModelIndex parent = frame.Tree()->Model()->IndexOf(doc.Catalogs().Tree().Parent(folder));
    tree->expand(parent);
    tree->viewport()->repaint();
    QApplication::processEvents();
    std::printf("expand a node: %.1f ms\n", Ms(timer));
    return 0;
}
