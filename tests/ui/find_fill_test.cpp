// SPDX-License-Identifier: GPL-3.0-or-later
// The Find Files window over a large generated set of catalogs: rows show
// while the search runs, the final rows are those of a search run to its
// end at once, and a search stops cleanly when searched again, closed or
// when the catalogs are read again.
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QTemporaryDir>
#include <QtTest>
#include <random>
#include <string>

#include "catalog/catalog_commands.h"
#include "catalog/catalog_set.h"
#include "tools/find_files.h"
#include "ui/background_work.h"
#include "ui/find_files_dialog.h"
#include "ui/result_list.h"
#include "ui/scripted_prompter.h"
#include "ui/search_wait.h"

using namespace kestavo;
using namespace kestavo::ui;

namespace {

constexpr int kDisks = 12;
constexpr int kFoldersPerDisk = 50;
constexpr int kFilesPerFolder = 400;

// One catalog of folders of files with names and sizes at random, some
// shared across folders and disks.
QByteArray GeneratedCatalog(int disk, std::mt19937& random) {
    std::string text = "kvx_version_1_1\r\n< \r\n   %drivetype 2\r\n> \r\n+ \"DISK" +
                       std::to_string(disk) + "\" 0 0 1 1 2000 0 0 0 < ";
    for (int folder = 0; folder < kFoldersPerDisk; ++folder) {
        text += "+\"f" + std::to_string(folder) + "\" 0 0 1 1 2000 0 0 0 < ";
        for (int file = 0; file < kFilesPerFolder; ++file)
            text += "\"n" + std::to_string(random() % 20000) + (file % 3 ? ".jpg" : ".TXT") +
                    "\" " + std::to_string(random() % 100000) + " " +
                    std::to_string(1 + random() % 28) + " " + std::to_string(1 + random() % 12) +
                    " " + std::to_string(1990 + random() % 30) + " " +
                    std::to_string(random() % 24) + " 0 " + std::to_string(random() % 60) + " ";
        text += "> ";
    }
    text += ">\r\n";
    return QByteArray::fromStdString(text);
}

// What the window's rows read, all columns.
QStringList Shown(const ResultListModel& model) {
    QStringList rows;
    for (int row = 0; row < model.rowCount(); ++row) {
        QStringList cells;
        for (int column = 0; column < model.columnCount(); ++column)
            cells << model.Text(row, column);
        rows << cells.join(QLatin1Char('|'));
    }
    return rows;
}

class NoMessages : public MessageSink {
public:
    MessageAnswer Show(const Message& m) override { return m.defaultAnswer; }
};

}  // namespace

class FindFillTest : public QObject {
    Q_OBJECT

    QTemporaryDir catalogs_;
    QTemporaryDir cache_;
    CatalogSet set_;
    ScriptedPrompter prompter_;
    NoMessages messages_;

    void OpenAll() { OpenAllCatalogs(set_, catalogs_.path().toStdString(), messages_); }

    // The rows of a search run to its end on this thread, as the window
    // shows them.
    QStringList BlockingRows(const QString& mask) {
        FindFiles tool(set_, set_.RootItem());
        tool.SetMask(mask.toStdString());
        tool.FindNow();
        QStringList rows;
        if (tool.FoundNothing()) return {QStringLiteral("No files found|||")};
        for (std::size_t row = 0; row < tool.RowCount(); ++row) {
            QStringList cells;
            for (int column = 0; column < kFindColumnCount; ++column)
                cells << QString::fromUtf8(tool.RowText(row, static_cast<FindColumn>(column)));
            rows << cells.join(QLatin1Char('|'));
        }
        return rows;
    }

    FindFilesDlg* OpenDialog(const QString& mask) {
        auto* dialog = new FindFilesDlg(set_, kNoItem, prompter_);
        dialog->show();
        dialog->MaskBox()->setText(mask);
        return dialog;
    }

    // Runs the event loop until the window shows rows of the search still
    // running; false when the search ended first.
    static bool RowsShowWhileSearching(FindFilesDlg* dialog) {
        while (dialog->Searching()) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            if (dialog->Searching() && dialog->Results()->rowCount() > 0) return true;
        }
        return false;
    }

private slots:
    void initTestCase() {
        QVERIFY(catalogs_.isValid() && cache_.isValid());
        qputenv("XDG_CACHE_HOME", cache_.path().toUtf8());
        std::mt19937 random(11);
        for (int disk = 0; disk < kDisks; ++disk) {
            QFile file(catalogs_.filePath(QStringLiteral("DISK%1.kvx").arg(disk)));
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(GeneratedCatalog(disk, random));
        }
        OpenAll();
        QVERIFY(set_.EntryCount() > 200000);
    }

    void rowsShowWhileTheSearchRunsAndTheFinalRowsAreThoseOfASearchAtOnce() {
        for (const QString& mask : {QStringLiteral("*"), QStringLiteral("*.jpg"),
                                    QStringLiteral("n1234*"), QStringLiteral("no-such-name")}) {
            QPointer<FindFilesDlg> dialog = OpenDialog(mask);
            dialog->OnFindNow();
            if (mask == QStringLiteral("*")) {
                QVERIFY(RowsShowWhileSearching(dialog));
                QVERIFY(dialog->StatusLabel()->isVisible());
                QVERIFY2(dialog->StatusLabel()->text().contains(QStringLiteral("found")),
                         qPrintable(dialog->StatusLabel()->text()));
                const QByteArray shots = qgetenv("KESTAVO_SCREENSHOT_DIR");
                if (!shots.isEmpty())
                    dialog->grab().save(QString::fromUtf8(shots) +
                                        QStringLiteral("/find-files-filling.png"));
            }
            QVERIFY(SearchEnds(dialog));
            QVERIFY(!dialog->StatusLabel()->isVisible());
            QCOMPARE(dialog->MaskBox()->text(), mask.toUpper());
            QCOMPARE(Shown(*dialog->Results()), BlockingRows(mask));
            dialog->close();
        }
    }

    void anotherFindNowStopsTheSearchRunning() {
        QPointer<FindFilesDlg> dialog = OpenDialog(QStringLiteral("*"));
        dialog->OnFindNow();
        dialog->MaskBox()->setText(QStringLiteral("*.txt"));
        dialog->OnFindNow();
        QVERIFY(SearchEnds(dialog));
        QCOMPARE(Shown(*dialog->Results()), BlockingRows(QStringLiteral("*.txt")));

        // Once rows of the first search show, none of them stay.
        dialog->MaskBox()->setText(QStringLiteral("*"));
        dialog->OnFindNow();
        QVERIFY(RowsShowWhileSearching(dialog));
        dialog->MaskBox()->setText(QStringLiteral("n2*.txt"));
        dialog->OnFindNow();
        QVERIFY(SearchEnds(dialog));
        QCOMPARE(Shown(*dialog->Results()), BlockingRows(QStringLiteral("n2*.txt")));
        dialog->close();
    }

    void aWindowClosedWhileItSearchesGoesAtOnce() {
        QPointer<FindFilesDlg> dialog = OpenDialog(QStringLiteral("*"));
        dialog->OnFindNow();
        QVERIFY(RowsShowWhileSearching(dialog));
        QVERIFY(BackgroundWorkRunning());
        dialog->close();
        QTRY_VERIFY(dialog.isNull());
        QVERIFY(!BackgroundWorkRunning());
        // Closed before any row came in.
        dialog = OpenDialog(QStringLiteral("*"));
        dialog->OnFindNow();
        dialog->close();
        QTRY_VERIFY(dialog.isNull());
    }

    void catalogsReadAgainWhileItSearchesStopTheSearch() {
        QPointer<FindFilesDlg> dialog = OpenDialog(QStringLiteral("*"));
        dialog->OnFindNow();
        QVERIFY(RowsShowWhileSearching(dialog));
        OpenAll();
        QVERIFY(!dialog->Searching());
        QCOMPARE(dialog->Results()->rowCount(), 0);
        QVERIFY(!dialog->StatusLabel()->isVisible());
        // What the stopped search had posted changes nothing.
        QTest::qWait(100);
        QCOMPARE(dialog->Results()->rowCount(), 0);
        dialog->OnFindNow();
        QVERIFY(SearchEnds(dialog));
        QCOMPARE(Shown(*dialog->Results()), BlockingRows(QStringLiteral("*")));
        dialog->close();
    }

    void otherWindowsTakeNoInputWhileItSearches() {
        QLineEdit other;
        other.show();
        QPointer<FindFilesDlg> dialog = OpenDialog(QStringLiteral("*"));
        dialog->OnFindNow();
        QVERIFY(RowsShowWhileSearching(dialog));
        QTest::keyClicks(&other, QStringLiteral("ab"));
        QCOMPARE(other.text(), QString());
        // The window searching takes its own.
        QTest::keyClicks(dialog->MaskBox(), QStringLiteral("x"));
        QCOMPARE(dialog->MaskBox()->text(), QStringLiteral("*x"));
        QVERIFY(SearchEnds(dialog));
        QTest::keyClicks(&other, QStringLiteral("ab"));
        QCOMPARE(other.text(), QStringLiteral("ab"));
        dialog->close();
    }
};

QTEST_MAIN(FindFillTest)
#include "find_fill_test.moc"
